#!/usr/bin/env bash
# Builds the static Boost libraries the log needs (Log and what it pulls in)
# for one MinGW-w64 target from Debian's boost1.81 source package, into a
# cache outside the clone. Reused when the stamp of this recipe matches.
#   usage: build-boost.sh i686|x86_64|i686-gcc
# (scripts/flavours.sh says which compiler builds each.)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/flavours.sh"
flavour=${1:?usage: build-boost.sh i686|x86_64|i686-gcc}
qz_flavour "$flavour" || exit 2
case "$target" in i686) am=32 ;; x86_64) am=64 ;; esac

source "$here/../versions.env"  # the version, and the recipe number to bump
BOOST_VER=$QZ_BOOST_VERSION     # when the flags or the patches below change
RECIPE=$QZ_BOOST_RECIPE
WINNT=0x0601
cache=${QZ_CACHE:-/var/cache/qzutilities}
src=$cache/boost-$BOOST_VER-src
out=$cache/boost-$BOOST_VER-$folder-r$RECIPE

if [ -f "$out/.done" ] && [ -f "$src/.done" ]; then
  echo "boost $BOOST_VER for $flavour: cached in $out"
  exit 0
fi
mkdir -p "$cache"

# One shared, patched source tree with a bootstrapped b2.
if [ ! -f "$src/.done" ]; then
  rm -rf "$src" "$src.tmp"; mkdir -p "$src.tmp"
  "$here/apt-source.sh" "bookworm bookworm-updates" "boost${BOOST_VER%.*}" "$src.tmp"
  tar -C "$src.tmp" -xf "$src.tmp"/boost"${BOOST_VER%.*}"_*.orig.tar.*
  top=$(find "$src.tmp" -mindepth 1 -maxdepth 1 -type d | head -n1)
  ( cd "$top/tools/build/src/engine" && bison -y -d -o jamgram.cpp jamgram.y )
  ( cd "$top" && ./bootstrap.sh --with-toolset=gcc >/dev/null )
  mv "$top" "$src"; rm -rf "$src.tmp"
  touch "$src/.done"
fi

# Boost 1.81's text file sink loops forever, creating empty files, when one
# formatted record alone reaches the rotation size: a freshly opened file is
# rotated again before anything is written to it. Never rotate an empty file
# (the behaviour later Boost releases adopted).
tfb=$src/libs/log/src/text_file_backend.cpp
if ! grep -q 'm_CharactersWritten > 0 && m_pImpl->m_CharactersWritten + formatted_message.size()' "$tfb"; then
  sed -i 's/^        if (m_pImpl->m_CharactersWritten + formatted_message.size() >= m_pImpl->m_FileRotationSize)$/        if (m_pImpl->m_CharactersWritten > 0 \&\& m_pImpl->m_CharactersWritten + formatted_message.size() >= m_pImpl->m_FileRotationSize)/' "$tfb"
  grep -q 'm_CharactersWritten > 0 && m_pImpl->m_CharactersWritten + formatted_message.size()' "$tfb" \
    || { echo "boost: the text file sink patch did not apply" >&2; exit 1; }
fi

# Failures the log must live through:
# - Boost.Thread takes its one TLS index once per process and only asserts
#   that it got one: in a process whose indexes are all in use, the first
#   thread-specific value (the logging core's per-thread data) dereferences
#   null, and no thread ever gets an index afterwards. Ask again whenever a
#   thread needs the index and there is none, and say thread_resource_error
#   to the thread that cannot have one (the logging core contains it: that
#   record is dropped).
# - A log file that cannot be opened for a moment (another program holds it)
#   leaves the text file sink with a failed stream and its file counter moved
#   on: the next record tries an empty file name and is lost too, and the one
#   after goes to the next file name. Leave the sink as it was before the
#   attempt, so the next record opens the same file name.
# - A text file sink whose construction fails half-way leaks its innards:
#   free them.
# - A thread's first record makes the thread's id for the logging library,
#   which stores it in a thread-local slot and then registers its deletion at
#   thread exit; that registration allocates (and on a thread of the host's
#   makes the thread library's record of the thread), and when it fails the
#   id stays in the slot with nobody to delete it, and the function object
#   that was to be registered leaks too. Register first, store after, free
#   the id when the registration fails (the same for a thread's severity
#   level); at_thread_exit's function object is freed when it cannot be
#   added.
python3 - "$src/libs/thread/src/win32/thread.cpp" "$src/libs/log/src/text_file_backend.cpp" \
  "$src/libs/log/src/thread_id.cpp" "$src/libs/log/src/severity_level.cpp" <<'PY'
import sys
thread_cpp, backend_cpp, thread_id_cpp, severity_cpp = sys.argv[1:5]
patches = [(thread_cpp, "if (key == TLS_OUT_OF_INDEXES)", [
("""            current_thread_tls_key=TlsAlloc();
            BOOST_ASSERT(current_thread_tls_key!=TLS_OUT_OF_INDEXES);
""", """            if (current_thread_tls_key != TLS_OUT_OF_INDEXES) return;
            DWORD const key = TlsAlloc();
            if (key == TLS_OUT_OF_INDEXES)
                boost::throw_exception(thread_resource_error());
            if (static_cast<DWORD>(InterlockedCompareExchange(
                    reinterpret_cast<LONG volatile*>(&current_thread_tls_key),
                    static_cast<LONG>(key), static_cast<LONG>(TLS_OUT_OF_INDEXES))) != TLS_OUT_OF_INDEXES)
                TlsFree(key);  // another thread got there first
"""),
("""            boost::call_once(current_thread_tls_init_flag,create_current_thread_tls_key);
#if BOOST_PLAT_WINDOWS_RUNTIME
            current_thread_data_base = new_data;
#else
            if (current_thread_tls_key != TLS_OUT_OF_INDEXES)
            {
                BOOST_VERIFY(TlsSetValue(current_thread_tls_key, new_data));
            }
            else
            {
                BOOST_VERIFY(false);
                //boost::throw_exception(thread_resource_error());
            }
#endif
""", """#if BOOST_PLAT_WINDOWS_RUNTIME
            current_thread_data_base = new_data;
#else
            if (!new_data && current_thread_tls_key == TLS_OUT_OF_INDEXES)
                return;  // nothing was ever set
            create_current_thread_tls_key();
            // (Clearing at thread exit runs where nothing may throw; a value
            // that cannot be cleared dies with the thread.)
            if (!TlsSetValue(current_thread_tls_key, new_data) && new_data)
                boost::throw_exception(thread_resource_error());
#endif
"""),
]),
(backend_cpp, "open_attempt_guard", [
("""        filesystem::path new_file_name;
        if (!use_prev_file_name)
""", """        filesystem::path new_file_name;
        // Until the file is open, any failure (the open refused, no memory
        // for the name or the stream's buffer) puts the counter back and
        // clears the stream.
        struct open_attempt_guard
        {
            implementation* impl;
            unsigned int counter;
            bool counter_was_last_used;
            bool opened;
            ~open_attempt_guard()
            {
                if (opened)
                    return;
                // The stream may hold the file open without its buffer.
                if (impl->m_File.is_open())
                    impl->m_File.close();
                impl->m_File.clear();
                impl->m_FileCounter = counter;
                impl->m_FileCounterIsLastUsed = counter_was_last_used;
            }
        }
        guard = { m_pImpl, m_pImpl->m_FileCounter, m_pImpl->m_FileCounterIsLastUsed, false };
        if (!use_prev_file_name)
"""),
("""        m_pImpl->m_FileName.swap(new_file_name);
        m_pImpl->m_IsFirstFile = false;
""", """        guard.opened = true;
        m_pImpl->m_FileName.swap(new_file_name);
        m_pImpl->m_IsFirstFile = false;
"""),
]),
(backend_cpp, "The constructor fails, so no destructor frees it.", [
("""    m_pImpl = new implementation(rotation_size, auto_newline, auto_flush, enable_final_rotation);
    set_file_name_pattern_internal(pattern);
    set_target_file_name_pattern_internal(target_file_name);
    set_time_based_rotation(time_based_rotation);
    set_open_mode(mode);
""", """    m_pImpl = new implementation(rotation_size, auto_newline, auto_flush, enable_final_rotation);
    try
    {
        set_file_name_pattern_internal(pattern);
        set_target_file_name_pattern_internal(target_file_name);
        set_time_based_rotation(time_based_rotation);
        set_open_mode(mode);
    }
    catch (...)
    {
        // The constructor fails, so no destructor frees it.
        delete m_pImpl;
        m_pImpl = NULL;
        throw;
    }
"""),
]),
(thread_cpp, "at_thread_exit hands over the function it made", [
("""        void add_thread_exit_function(thread_exit_function_base* func)
        {
            detail::thread_data_base* const current_thread_data(get_or_make_current_thread_data());
            thread_exit_callback_node* const new_node=
                heap_new<thread_exit_callback_node>(
                    func,current_thread_data->thread_exit_callbacks);
            current_thread_data->thread_exit_callbacks=new_node;
        }
""", """        void add_thread_exit_function(thread_exit_function_base* func)
        {
            // at_thread_exit hands over the function it made: a function
            // that cannot be added is freed here.
            BOOST_TRY
            {
                detail::thread_data_base* const current_thread_data(get_or_make_current_thread_data());
                thread_exit_callback_node* const new_node=
                    heap_new<thread_exit_callback_node>(
                        func,current_thread_data->thread_exit_callbacks);
                current_thread_data->thread_exit_callbacks=new_node;
            }
            BOOST_CATCH(...)
            {
                heap_delete(func);
                BOOST_RETHROW
            }
            BOOST_CATCH_END
        }
"""),
]),
(thread_id_cpp, "registered before it is stored", [
("""        p = new thread::id(get_id_impl());
        s.m_id.set(p);
        boost::this_thread::at_thread_exit(id_storage::deleter(p));
""", """        // Its deletion is registered before it is stored: a registration
        // that fails leaves nothing behind.
        p = new thread::id(get_id_impl());
        try
        {
            boost::this_thread::at_thread_exit(id_storage::deleter(p));
        }
        catch (...)
        {
            delete p;
            throw;
        }
        s.m_id.set(p);
"""),
]),
(severity_cpp, "registered before it is stored", [
("""        log::aux::unique_ptr< uintmax_t > ptr(new uintmax_t(0));
        tss.set(ptr.get());
        p = ptr.release();
        boost::this_thread::at_thread_exit(boost::bind(checked_deleter< uintmax_t >(), p));
""", """        // Its deletion is registered before it is stored: a registration
        // that fails leaves nothing behind.
        log::aux::unique_ptr< uintmax_t > ptr(new uintmax_t(0));
        boost::this_thread::at_thread_exit(boost::bind(checked_deleter< uintmax_t >(), ptr.get()));
        p = ptr.release();
        tss.set(p);
"""),
])]
for path, mark, edits in patches:
    text = open(path).read()
    if mark in text:
        continue
    for old, new in edits:
        if text.count(old) != 1:
            sys.exit(f"boost: the patch of {path} did not apply")
        text = text.replace(old, new)
    open(path, "w").write(text)
PY

rm -rf "$out" "$out.build"; mkdir -p "$out"
# b2's gcc toolset drives clang as well; the b2 engine itself was built by
# this machine's compiler, and runs in the root as it does here.
if [ -n "$clang_debug" ]; then
  cat > "$out.user-config.jam" <<JAM
using gcc : clang19 : clang++-19 --target=i686-w64-mingw32 :
  <archiver>llvm-ar-19 <ranlib>llvm-ranlib-19 <cxxflags>"$clang_debug" ;
JAM
  toolset=gcc-clang19
else
  cat > "$out.user-config.jam" <<JAM
using gcc : mingw : $target-w64-mingw32-g++-posix ;
JAM
  toolset=gcc-mingw
fi
cd "$src"
"${run[@]}" ./b2 -q -j"$(nproc)" --user-config="$out.user-config.jam" \
  --build-dir="$out.build" --stagedir="$out" \
  toolset=$toolset target-os=windows threadapi=win32 address-model=$am \
  variant=release link=static runtime-link=static threading=multi \
  cxxstd=17 \
  define=_WIN32_WINNT=$WINNT define=BOOST_USE_WINAPI_VERSION=$WINNT \
  define=BOOST_LOG_WITHOUT_EVENT_LOG define=BOOST_LOG_WITHOUT_SYSLOG \
  define=BOOST_LOG_WITHOUT_IPC define=BOOST_LOG_WITHOUT_SETTINGS_PARSERS \
  define=BOOST_LOG_WITHOUT_DEBUG_OUTPUT \
  --with-log --with-filesystem --with-thread --with-date_time --with-atomic --with-chrono \
  stage >"$out.log" 2>&1 || { tail -n 60 "$out.log"; exit 1; }
rm -rf "$out.build" "$out.user-config.jam"
ln -sfn "$src" "$out/include"
touch "$out/.done"
echo "boost $BOOST_VER for $flavour: built into $out"
