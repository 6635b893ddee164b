#pragma once
// COrv_Users: the learners' accounts and, per learner and per Talvane, the
// status word of every Echomark and the last Echomark reached.
//
// Accounts live in the user index Users/Index.usr of the data path: one
// section per user, named by the user name, whose "pwd" is the credential
// block (credential_block.h); [Default] also holds "Count", the number of
// users. Each user has a folder below Users/ holding General.ini and one
// status file <BOOK>.ST per Talvane ([EMStatus] EM1..EMn, [General] LastEM).
//
// Names:
// - A user name is kept as the credential block keeps it: cut to 30 bytes
//   at a character boundary, trailing white space removed (GetSectionName);
//   an empty name is the default user "Default". Names match without regard
//   to case, and a user's folder takes the spelling stored in the index, so
//   "bob" finds the folder of "Bob". A folder or status file that another
//   program named in another case is found and used as it is.
// - Names holding CR, LF, NUL, '=' or ']' (they would break the index),
//   names made only of dots (they would name the users folder or its parent)
//   and names that are not valid UTF-8 (they would name a folder no other
//   program can show, and a cut of the 30-byte field could split a byte
//   sequence nobody can tell apart) are refused: AddUser answers false, the
//   lookups find no user.
// - Passwords are cut to their 10-byte field both when stored and when
//   compared, so a longer password logs in as typed.
// - Book codes are 1 to 8 ASCII letters, digits or underscores, kept upper
//   case; any other code names no status file.
//
// Callers make an instance on the stack around a call; the current user
// exists only in the object. Nothing throws; every operation reports by its
// result. UI thread only.

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "player/env/environment.h"

namespace orv {

// A list of names with a flag word (0 at construction).
class COrv_StringList : public std::vector<std::string> {
 public:
  bool IsFlagSet() const { return flag_ != 0; }
  void SetFlag(unsigned flag) { flag_ = flag; }
  unsigned GetFlag() const { return flag_; }

 private:
  unsigned flag_ = 0;
};

// What the status store needs to know of an installed Talvane: the number
// of its Echomarks, or -1 when the code is not installed. It asks on the
// data path of the settings file, not on a folder the accounts are bound
// to. The installed-book information installs the real one; until then a
// built-in one reads the Talvane index and the book's information file.
class EchomarkCountSource {
 public:
  virtual ~EchomarkCountSource() = default;
  virtual int echomarkCount(std::string_view bookCode) = 0;
};
EchomarkCountSource* echomarkCountSource();  // the installed one, or the built-in one
EchomarkCountSource* setEchomarkCountSource(EchomarkCountSource* source);  // nullptr: built-in

// Installs the accounts' maker of the user "Default" for every new data
// path (see environment.h); answers the previous maker.
DefaultUserMaker* installUsersDefaultUserMaker();

// The largest number of Echomarks a status file is read or written for; a
// larger count comes from a damaged information file and is refused.
inline constexpr int kMaxEchomarks = 32767;

class COrv_Users : public COrv_Environment {
 public:
  // `folder`, when not empty, replaces the cached data path (a data path
  // that is being built).
  explicit COrv_Users(std::string_view folder = {});
  ~COrv_Users() override = default;

  // --- Accounts --------------------------------------------------------------
  // [Default] Count, 0 when missing.
  int GetUserCount();
  // Appends every user of the index (each section with a credential block)
  // in file order; answers how many were appended.
  int GetUserNames(COrv_StringList& list);
  bool UserExists(std::string_view name);
  // Adds a user, or with `acceptExisting` rewrites an existing user's
  // password (its Count, folder and files are left as they are). A new user
  // gets a folder with an empty General.ini; when that cannot be made the
  // user is removed again and the answer is false. Refused: an existing user
  // without `acceptExisting`, a name that is not allowed, a name whose
  // folder another user already has.
  bool AddUser(std::string_view name, std::string_view password, bool acceptExisting = false);
  // Removes a user whose password matches: the index entry, General.ini and
  // every status file, then the folder when nothing else is left in it.
  // The default user cannot be deleted (its section holds Count and it is
  // the user every caller falls back to). Deleting the current user makes
  // "Default" current.
  bool DeleteUser(std::string_view name, std::string_view password);
  // For the current user, who must exist and match `oldPassword`.
  bool ChangePassword(std::string_view oldPassword, std::string_view newPassword);
  // Makes `name` current (empty: "Default"); always true.
  bool SetCurrentUser(std::string_view name);
  std::string GetCurrentUser() const { return currentUser_; }
  // True when the current user exists and `password`, cut as the block
  // keeps it, equals the stored password exactly (case counts).
  bool CheckCurrentUserPassword(std::string_view password);
  // The same for `name`. Leaves the current user as it was ("Default" when
  // there was none).
  bool CheckPassword(std::string_view name, std::string_view password);
  // The stored password of an existing user; empty when none or unreadable.
  std::string GetPassword(std::string_view name);
  // "Default" for an empty name, else the name as the block keeps it.
  static std::string GetSectionName(std::string_view name);
  // Whether AddUser accepts `name` (see the rules above).
  static bool IsValidUserName(std::string_view name);

  // 4: the user index; with no current user: empty; 2: the current user's
  // General.ini; any other kind: the current user's folder.
  std::string GetUserPath(int kind);
  // 0 and 2: GetUserPath(kind) for the user `name`; 3: the current user's
  // status file of the book code `name` (empty for a code that is not
  // valid); any other kind: empty.
  std::string GetUserFilePath(std::string_view name, int kind);

  // The 80 digits of the credential block; false for an empty name.
  bool EncodeCredentials(std::string_view name, std::string_view password, std::string& text);
  // False, outputs untouched, unless `text` is 80 hexadecimal digits.
  bool DecodeCredentials(std::string_view text, std::string& name, std::string& password);

  // Gives every listed user whose folder is missing (a crash of an older
  // program, a folder removed by hand) a new folder with an empty
  // General.ini. Answers the users that could not be repaired.
  std::vector<std::string> RepairUserFolders();

  // --- Echomark status of the current user ------------------------------------
  // Each needs a current user and an installed book of n Echomarks (else
  // false, 0 or nothing). Missing files, sections and keys read as 0.
  //
  // Stored values are read as at most four digits, so only 0 to
  // kMaxStatusValue round-trip: a write of any other value is refused
  // (false, nothing written), and a stored value of more than four digits
  // (written by hand or by another program) reads as 0, as a missing one
  // does, never as its first four digits.
  static constexpr int kMaxStatusValue = 9999;
  // The status words of Echomarks 1..n into positions 0..n-1.
  bool ReadQuoteStatusList(std::string_view bookCode, std::vector<int>& status);
  // Writes Echomarks 1..n from positions 0..n-1 (0 past the end of
  // `status`); one value out of range refuses the whole list.
  bool WriteQuoteStatusList(std::string_view bookCode, const std::vector<int>& status);
  // Echomark number 1..n (0 names no Echomark: 0, nothing written).
  int ReadQuoteStatus(std::string_view bookCode, int number);
  bool WriteQuoteStatus(std::string_view bookCode, int number, int value);
  // The last Echomark reached, 0..n (0: none).
  int ReadLastQuote(std::string_view bookCode);
  bool WriteLastQuote(std::string_view bookCode, int number);
  // Why the last WriteQuoteStatusList or WriteLastQuote failed (empty after
  // one that succeeded): the file system's error, or invalid_argument for a
  // refused value or a book or user without a status file.
  std::error_code LastWriteError() const { return writeError_; }

 private:
  // The index's spelling of a user (found without regard to case), or the
  // section name itself when the user is not in the index.
  std::string storedSpelling(const std::string& section);
  std::string userFolder(const std::string& section);
  // The status file and the number of Echomarks for the current user and a
  // book; false when there is none.
  bool statusFile(std::string_view bookCode, std::string& file, int& count);
  // Makes the users folder and `folder`; true when `folder` is a folder.
  bool makeUserFolder(const std::string& folder);
  // Removes a user's entry and files without checking its password.
  void removeUser(const std::string& section);

  std::string currentUser_;
  std::error_code writeError_;
};

}  // namespace orv
