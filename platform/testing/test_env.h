#pragma once
// Every test runs in a sandbox of its own: a fresh folder holding its HOME,
// XDG folders, XDG_RUNTIME_DIR, TMPDIR and the suite's configuration root,
// so tests run in parallel and never touch the user's files, audio or
// display. The sandbox is removed after a passing test and kept (its path
// printed) after a failing one.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "platform/testing/sandbox.h"

namespace tvtest {

// The running test's sandbox.
const Sandbox& sandbox();

// Sets the process-wide variables every test program starts with
// (LANG=C.UTF-8, QT_QPA_PLATFORM=offscreen, PUBLIC and display variables
// unset, threadsafe death tests) and registers the per-test sandbox.
// Called by the test mains before anything else.
void installTestEnvironment(int* argc, char** argv);

// Small file helpers for fixtures.
void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);
// Everything under a folder, by its path from there ('/'-separated): each
// file with its bytes, each folder with "<folder>". Two calls compare equal
// when nothing under the folder was written, made or removed in between.
std::map<std::string, std::string> filesUnder(const std::filesystem::path& root);
// Such a map as lines of names and sizes, for a failure's message.
std::string listing(const std::map<std::string, std::string>& files);

}  // namespace tvtest
