#pragma once
// The registry: keys and typed values in three hives kept as text files.
//
//   HKEY_LOCAL_MACHINE  <machine settings>/HKEY_LOCAL_MACHINE.hive
//   HKEY_CLASSES_ROOT   <machine settings>/HKEY_CLASSES_ROOT.hive
//   HKEY_CURRENT_USER   <configuration root>/HKEY_CURRENT_USER.hive
//
// (folders from platform/fs/config_root.h, created on the first write).
// The calls have the Win32 names, arguments, results and error codes, so
// code written against that model ports line by line; strings are UTF-8
// and key paths use backslashes. Key paths and value names match without
// regard to case (Unicode upper-casing); a key or value keeps the spelling
// it was created with. Subkeys enumerate in the order of their upper-cased
// names, values in creation order.
//
// Consistency between processes: every write takes an advisory lock on the
// hive, re-reads it, changes it and replaces it atomically, so processes
// that write in turn never lose each other's values. Reads use a parsed
// copy that is refreshed when the file's inode, mtime (ns) or size changed.
// A handle names its key by path: when another process (or another handle)
// deletes the key, calls on the handle answer ERROR_KEY_DELETED.
//
// Lengths of names (RegEnumKeyEx, RegEnumValue, RegQueryInfoKey) are in
// bytes of UTF-8, so a buffer of the reported length plus one always fits.
// Data sizes are bytes, as in Win32: a string value stores exactly the
// bytes given, terminator included when the caller counts it.
//
// Every write answers ERROR_CANTREAD when the hive cannot be re-read under
// its lock (nothing is written then), ERROR_CANTWRITE when it cannot be
// replaced (the previous file stays), ERROR_REGISTRY_IO_FAILED when the
// lock cannot be taken.
//
// A line of a hive file that cannot be read is kept as it stands and
// written back with the hive (see hive.h), so nothing of the file is lost,
// neither the line nor what follows it; the problem is printed once on
// standard error and kept for hiveProblem(). The first write after a new
// fault keeps a copy of the file as it was beside it
// ("<hive>.<16 hex digits>.bad", one copy per fault).
//
// All calls are safe to use from several threads.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace plat::registry {

using BYTE = std::uint8_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using LSTATUS = LONG;
using REGSAM = DWORD;

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;

struct FILETIME {
  DWORD dwLowDateTime = 0;
  DWORD dwHighDateTime = 0;
};

// The predefined roots (the Win32 values). Closing one is harmless.
inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000u});
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001u});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002u});

// Results.
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_OUTOFMEMORY = 14;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_BAD_PATHNAME = 161;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_CANTREAD = 1012;   // the hive could not be read
inline constexpr LONG ERROR_CANTWRITE = 1013;  // the hive could not be written
inline constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;  // the hive's lock failed
inline constexpr LONG ERROR_KEY_DELETED = 1018;

// Value types. Any other number is stored and answered as given.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// Access rights. A handle opened without a right is refused the calls that
// need it (ERROR_ACCESS_DENIED); the roots have every right.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Options and dispositions of RegCreateKeyEx.
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opens `subKey` below `key`, creating it and its missing parents.
// `keyClass`, `options` and `security` are accepted and ignored. An empty
// subKey opens `key` itself again. A path with an empty component gives
// ERROR_BAD_PATHNAME; a component longer than 255 characters, or more than
// 512 levels, ERROR_INVALID_PARAMETER.
LONG RegCreateKeyEx(HKEY key, std::string_view subKey, DWORD reserved, const char* keyClass, DWORD options,
                    REGSAM samDesired, const void* security, PHKEY result, DWORD* disposition);

// Opens an existing key; ERROR_FILE_NOT_FOUND when it is missing.
LONG RegOpenKeyEx(HKEY key, std::string_view subKey, DWORD options, REGSAM samDesired, PHKEY result);

// Closes a handle from RegCreateKeyEx or RegOpenKeyEx.
LONG RegCloseKey(HKEY key);

// Stores a value (replacing one of the same name). `data` may be null only
// when `size` is 0.
LONG RegSetValueEx(HKEY key, std::string_view valueName, DWORD reserved, DWORD type, const BYTE* data,
                   DWORD size);

// Reads a value. Each of type, data and size may be null. With data null
// and size given, *size receives the stored byte size. With data given,
// *size is the buffer's size in, the stored size out; a short buffer gives
// ERROR_MORE_DATA (nothing copied). A missing value: ERROR_FILE_NOT_FOUND.
LONG RegQueryValueEx(HKEY key, std::string_view valueName, DWORD* reserved, DWORD* type, BYTE* data,
                     DWORD* size);

// Removes a value; ERROR_FILE_NOT_FOUND when there is none.
LONG RegDeleteValue(HKEY key, std::string_view valueName);

// The name of subkey `index` (0-based). *nameSize is the buffer's size in
// bytes in, the name's length without terminator out. Past the last
// subkey: ERROR_NO_MORE_ITEMS; a short buffer: ERROR_MORE_DATA (*nameSize
// left as it was; RegQueryInfoKey gives the longest name). Classes are
// always empty; the last-write time is zero.
LONG RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, char* keyClass,
                  DWORD* classSize, FILETIME* lastWriteTime);

// Value `index` (creation order): name as for RegEnumKeyEx, then type and
// data as for RegQueryValueEx.
LONG RegEnumValue(HKEY key, DWORD index, char* valueName, DWORD* valueNameSize, DWORD* reserved, DWORD* type,
                  BYTE* data, DWORD* dataSize);

// Counts and longest lengths of a key (each pointer may be null). Name
// lengths are bytes without terminator; the class is empty.
LONG RegQueryInfoKey(HKEY key, char* keyClass, DWORD* classSize, DWORD* reserved, DWORD* subKeys,
                     DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values, DWORD* maxValueNameLen,
                     DWORD* maxValueLen, DWORD* securityDescriptorSize, FILETIME* lastWriteTime);

// Deletes `subKey` below `key` with its values. Refused with
// ERROR_ACCESS_DENIED while it has subkeys (delete from the leaves up), and
// for an empty subKey; ERROR_FILE_NOT_FOUND when it is missing.
LONG RegDeleteKey(HKEY key, std::string_view subKey);

// Groups the writes of one thread into one lock, one re-read and one
// replace per hive. While a batch is alive, the Reg* calls of its thread
// work on the hives it holds (taking a hive's lock at its first write) and
// other threads wait. commit() writes every changed hive and releases the
// locks; the destructor commits when commit() was not called. Nested
// batches join the outer one. Keep a batch short: other processes wait for
// its locks.
class WriteBatch {
 public:
  WriteBatch();
  ~WriteBatch();
  WriteBatch(const WriteBatch&) = delete;
  WriteBatch& operator=(const WriteBatch&) = delete;

  // ERROR_SUCCESS, or ERROR_CANTWRITE when a hive could not be replaced
  // (that hive is then left as it was before the batch).
  LONG commit();

 private:
  bool outer_ = false;
  bool done_ = false;
};

// The file that holds a root's hive (empty for any other handle).
std::filesystem::path hivePath(HKEY root);

// Why the hive file of `root` was not sound at its last reading (the first
// line kept as it stood and the reason), or empty when it was.
std::string hiveProblem(HKEY root);

}  // namespace plat::registry
