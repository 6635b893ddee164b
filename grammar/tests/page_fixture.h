#pragma once
// A program folder with a small "Gramm" folder of packed pages and pictures,
// in the running test's sandbox.

#include <filesystem>
#include <map>
#include <string>

#include "platform/testing/test_env.h"
#include "shared/pages/work_folder.h"
#include "tools/pages/page_file_writer.h"

namespace brindletest {

inline const std::string kIndexHtml =
    "<html><body><h1>Grammar index</h1><p><a href=\"0012.htm\">Verbs</a></p></body></html>";
inline const std::string kVerbsHtml =
    "<html><body><h1>Verbs</h1><img src=\"Images/0012a.png\"><p><a href=\"0000.htm\">Index</a></p></body></html>";
inline const std::string kMissingHtml = "<html><body><p>This page is not available.</p></body></html>";

struct PageFolder {
  std::filesystem::path program;  // the program folder
  std::filesystem::path gramm;    // program/Gramm
  std::filesystem::path temp;     // the temporary folder
  std::filesystem::path work;     // the working folder (tv::pages::WorkFolder())

  // `pages` maps a page name to its HTML; every page gets a packed file.
  explicit PageFolder(const std::map<std::string, std::string>& pages = {{"0000", kIndexHtml},
                                                                         {"0012", kVerbsHtml},
                                                                         {"~NoIt", kMissingHtml}}) {
    const auto& box = tvtest::sandbox();
    program = box.base / "program";
    gramm = program / "Gramm";
    temp = box.tmp;
    work = tv::pages::WorkFolder();
    std::filesystem::create_directories(gramm / "Images");
    for (const auto& [name, html] : pages) tvtools::writePageFile(gramm / (name + ".cht"), html);
    // Pictures of page 0012 (in either case) and of another page.
    tvtest::writeFile(gramm / "Images" / "0012a.png", "picture a");
    tvtest::writeFile(gramm / "Images" / "0012B.PNG", "picture b");
    tvtest::writeFile(gramm / "Images" / "0013a.png", "other page");
  }
};

}  // namespace brindletest
