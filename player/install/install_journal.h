#pragma once
// The files an installation is making, written down before they are made,
// so that the next start can remove what an installation killed on the way
// left behind (a copy in the install folder, a content file nothing
// registers). Each process keeps one journal per folder,
// ".install-p<pid>.journal"; it goes when the installation has finished,
// either way.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace orv::install {

class COrv_InstallJournal {
 public:
  explicit COrv_InstallJournal(std::filesystem::path folder);
  ~COrv_InstallJournal();
  COrv_InstallJournal(const COrv_InstallJournal&) = delete;
  COrv_InstallJournal& operator=(const COrv_InstallJournal&) = delete;

  // Writes `file` down (to disk, before the caller makes it); false when
  // the journal cannot be written.
  bool Add(const std::filesystem::path& file);
  // The installation has finished: its files are where they belong (or
  // were removed by it), and the journal goes.
  void Done();

  // Removes, for every journal in `folder` of a process that no longer
  // runs, each file it lists that `keep` does not claim (a file some book
  // now uses), then the journal itself. Journals of running processes stay.
  static void RemoveLeftovers(const std::filesystem::path& folder,
                              const std::function<bool(const std::filesystem::path&)>& keep);

 private:
  std::filesystem::path m_path;
  std::vector<std::string> m_files;
};

// What the player removes at its start: the journals' leftovers in the
// data path's install and Talvanes folders (content files that a
// registered book uses are kept), and the unpacking folders of processes
// that no longer run.
void RemoveInstallLeftovers();

}  // namespace orv::install
