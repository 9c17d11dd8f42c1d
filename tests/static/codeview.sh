# Sourced by the static checks that read CodeView records and PDBs, with
# LLVM's tools (the Debian 13 root's LLVM 19, else this machine's).
qz_llvm_tool() { command -v "$1-19" || command -v "$1"; }
# qz_codeview FILE: the debug directory of a PE file, as llvm-readobj prints it.
qz_codeview() { "$(qz_llvm_tool llvm-readobj)" --coff-debug-directory "$1" 2>&1; }
# qz_pdb_summary PDB: the PDB's summary, as llvm-pdbutil prints it; fails for no PDB.
qz_pdb_summary() { "$(qz_llvm_tool llvm-pdbutil)" dump --summary "$1" 2>&1; }
# qz_field NAME TEXT: the values of TEXT's "NAME: value" lines.
qz_field() { sed -n "s/^ *$1: //p" <<<"$2"; }
# "GUID age N": of a CodeView record (qz_codeview's text), of a PDB (qz_pdb_summary's).
qz_record_id() { echo "$(qz_field PDBGUID "$1") age $(qz_field PDBAge "$1")"; }
qz_pdb_id() { echo "$(qz_field GUID "$1") age $(qz_field Age "$1")"; }
