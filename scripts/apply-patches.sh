#!/usr/bin/env bash
# Applies a folder's patch files (NN-name.patch, in the order of their names)
# to a source tree, exactly: no fuzz, so a patch lands where it was made or not
# at all. A patch already in the tree (it applies in reverse) is skipped, so a
# tree patched in place before is taken as it is; one that neither applies nor
# is in the tree stops the run, naming it, and leaves its files untouched.
# (Each patch is checked on its own: one already in a tree is recognised while
# no later patch changes the lines around it, its context.)
#   usage: apply-patches.sh PATCH_DIR TREE
set -euo pipefail
dir=${1:?usage: apply-patches.sh PATCH_DIR TREE} tree=${2:?usage: apply-patches.sh PATCH_DIR TREE}
opts=(-d "$tree" -p1 -s -f -F0 --no-backup-if-mismatch)
for p in "$dir"/*.patch; do
  if patch "${opts[@]}" --dry-run <"$p" >/dev/null 2>&1; then
    patch "${opts[@]}" <"$p"
    echo "patch $(basename "$p"): applied"
  elif patch "${opts[@]}" -R --dry-run <"$p" >/dev/null 2>&1; then
    echo "patch $(basename "$p"): already in the tree"
  else
    echo "patch $p neither applies to $tree nor is in it" >&2
    exit 1
  fi
done
