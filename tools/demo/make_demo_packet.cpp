// make_demo_packet COURSE OUT.tpk SCRATCH [--tone]
//
// Builds the demo course's packet from its description (see course.txt):
// each Echomark's speech is spoken by espeak-ng segment by segment, the
// pieces joined into one WAV whose segment shares are exact, and the book
// laid out as a packet carries it, so that the player's installer makes the
// slower and faster renderings as it does for any book. With --tone (or
// when espeak-ng cannot be run) a tone as long as the text stands in for
// the speech. Speech files are kept in SCRATCH.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/riff/wav.h"
#include "tools/book/book_fixture.h"
#include "tools/packet/packet_writer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using tvtools::book::Book;
using tvtools::book::Echomark;

struct Course {
  Book book;
  std::string voice = "de";
  std::string rate = "130";
  // Per Echomark: where its speech segments begin (word numbers from 0).
  std::vector<std::vector<int>> segments;
};

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

std::vector<std::string> split(const std::string& s, char by) {
  std::vector<std::string> out;
  std::string part;
  std::istringstream in(s);
  while (std::getline(in, part, by)) out.push_back(trim(part));
  return out;
}

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

bool numbers(const std::string& s, std::vector<int>& out) {
  std::istringstream in(s);
  for (std::string w; in >> w;) {
    char* end = nullptr;
    const long v = std::strtol(w.c_str(), &end, 10);
    if (*end != '\0' || v < 0 || v > 0x7FFF) return false;
    out.push_back(static_cast<int>(v));
  }
  return true;
}

bool parseCourse(const fs::path& path, Course& course, std::string& error) {
  std::ifstream in(path);
  if (!in) return (error = "cannot read " + path.string(), false);
  std::map<std::string, int16_t> entries;  // head word -> dictionary entry
  int lineNo = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNo;
    line = trim(line);
    if (line.empty() || line[0] == '#') continue;
    const auto space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? std::string() : trim(line.substr(space + 1));
    auto fail = [&](const std::string& why) {
      error = path.string() + ":" + std::to_string(lineNo) + ": " + why;
      return false;
    };
    Book& b = course.book;
    if (key == "echomark") {
      b.echomarks.emplace_back();
      course.segments.emplace_back();
      continue;
    }
    if (key == "book") b.code = value;
    else if (key == "title") b.title = value;
    else if (key == "description") b.description = value;
    else if (key == "category") b.category = static_cast<uint8_t>(std::atoi(value.c_str()));
    else if (key == "difficulty") b.level = std::atoi(value.c_str());
    else if (key == "language") b.language = static_cast<uint8_t>(std::atoi(value.c_str()));
    else if (key == "voice") course.voice = value;
    else if (key == "rate") course.rate = value;
    else {
      if (b.echomarks.empty()) return fail("\"" + key + "\" before the first echomark");
      Echomark& e = b.echomarks.back();
      const int wordCount = static_cast<int>(words(e.wordText).size());
      std::vector<int> list;
      if (key == "text") {
        if (value.empty() || value[0] == '-') return fail("a text must not be empty or begin with '-'");
        e.wordText = value;
      } else if (key == "intro") {
        e.introduction = value;
      } else if (key == "comment") {
        e.comment = value;
      } else if (key == "segments" || key == "keywords" || key == "fixed") {
        if (!numbers(value, list)) return fail("a list of word numbers was expected");
        const int low = key == "segments" ? 0 : 1, high = key == "segments" ? wordCount - 1 : wordCount;
        for (int v : list)
          if (v < low || v > high) return fail("word number " + std::to_string(v) + " is not in the text");
        if (key == "segments") course.segments.back() = list;
        // The first segment begins at the first word without being listed.
        std::vector<int16_t>& target = key == "keywords" ? e.keywords : key == "fixed" ? e.fixedWords : e.segmentStarts;
        for (int v : list)
          if (key != "segments" || v > 0) target.push_back(static_cast<int16_t>(v));
      } else if (key == "dict") {
        const std::vector<std::string> f = split(value, '|');
        if (f.size() != 4 || !numbers(f[0], list) || list.size() != 1 || list[0] < 1 || list[0] > wordCount)
          return fail("dict: word number | head word | second form | definition");
        auto [it, added] = entries.emplace(f[1], static_cast<int16_t>(b.dictionary.size() + 1));
        if (added) b.dictionary.push_back({f[1], f[2], f[3]});
        e.dictionary.push_back({static_cast<int16_t>(list[0]), it->second});
      } else if (key == "link") {
        const std::vector<std::string> f = words(value);
        if (f.size() != 2 || !numbers(f[1], list) || list.size() != 1 || list[0] < 1 || list[0] > wordCount)
          return fail("link: page key, then a word number of the text");
        e.links.push_back({f[0], list[0]});
      } else {
        return fail("unknown directive \"" + key + "\"");
      }
    }
  }
  if (course.book.echomarks.empty()) return (error = path.string() + ": no echomark", false);
  return true;
}

// Runs espeak-ng on `text` into `wav`; false when it cannot be run or fails.
bool speak(const Course& c, const std::string& text, const fs::path& wav) {
  std::vector<std::string> args = {"espeak-ng", "-v", c.voice, "-s", c.rate, "-w", wav.string(), text};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, "espeak-ng", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A tone of 80 ms a character, where no speech can be made.
std::string tone(const std::string& text) {
  return tvtools::book::makeWav(static_cast<uint32_t>(22050 * 0.08 * static_cast<double>(text.size())), {}, 22050);
}

// The speech of Echomark `n`: its segments spoken one by one and joined.
bool speech(const Course& c, size_t n, bool useTone, const fs::path& scratch, std::string& wav,
            std::vector<float>& shares, std::string& error) {
  const Echomark& e = c.book.echomarks[n];
  const std::vector<std::string> w = words(e.wordText);
  std::vector<int> starts = c.segments[n];
  if (starts.empty() || starts[0] != 0) starts.insert(starts.begin(), 0);
  plat::riff::WavFormat format;
  std::string samples;
  std::vector<size_t> sizes;
  for (size_t s = 0; s < starts.size(); ++s) {
    const size_t from = static_cast<size_t>(starts[s]);
    const size_t to = s + 1 < starts.size() ? static_cast<size_t>(starts[s + 1]) : w.size();
    std::string piece;
    for (size_t k = from; k < to; ++k) piece += (piece.empty() ? "" : " ") + w[k];
    const fs::path file = scratch / ("echomark" + std::to_string(n + 1) + "-" + std::to_string(s + 1) + ".wav");
    std::string bytes;
    if (useTone) {
      bytes = tone(piece);
    } else {
      if (!speak(c, piece, file)) return (error = "espeak-ng could not speak \"" + piece + "\"", false);
      std::ifstream in(file, std::ios::binary);
      std::ostringstream ss;
      ss << in.rdbuf();
      bytes = ss.str();
    }
    plat::riff::Wav parsed;
    if (plat::riff::readWav(bytes, parsed)) return (error = "the speech of \"" + piece + "\" is not a WAV file", false);
    if (s > 0 && !(parsed.format == format)) return (error = "the speech pieces differ in format", false);
    format = parsed.format;
    samples += parsed.samples;
    sizes.push_back(parsed.samples.size());
  }
  shares.clear();
  for (size_t size : sizes)
    shares.push_back(samples.empty() ? 0.0f : static_cast<float>(static_cast<double>(size) / samples.size()));
  if (plat::riff::writeWav(format, samples, wav)) return (error = "cannot write the joined speech", false);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5 || (argc == 5 && std::string(argv[4]) != "--tone")) {
    std::fprintf(stderr, "usage: make_demo_packet COURSE OUT.tpk SCRATCH [--tone]\n");
    return 2;
  }
  Course course;
  std::string error;
  if (!parseCourse(argv[1], course, error)) return std::fprintf(stderr, "make_demo_packet: %s\n", error.c_str()), 1;
  const fs::path scratch = argv[3];
  std::error_code ec;
  fs::create_directories(scratch, ec);
  bool useTone = argc == 5;
  if (!useTone && !speak(course, "ja", scratch / "probe.wav")) {
    std::fprintf(stderr, "make_demo_packet: espeak-ng cannot be run: a tone stands in for the speech\n");
    useTone = true;
  }
  for (size_t n = 0; n < course.book.echomarks.size(); ++n) {
    Echomark& e = course.book.echomarks[n];
    if (!speech(course, n, useTone, scratch, e.normalWav, e.speechShares, error))
      return std::fprintf(stderr, "make_demo_packet: Echomark %zu: %s\n", n + 1, error.c_str()), 1;
  }
  tvtools::PacketSpec spec;
  spec.contentVersion = 2;
  spec.books.emplace_back();
  if (!tvtools::book::packetBook(course.book, spec.books.back(), error))
    return std::fprintf(stderr, "make_demo_packet: %s\n", error.c_str()), 1;
  try {
    if (!tvtools::writePacket(argv[2], spec)) return std::fprintf(stderr, "cannot write %s\n", argv[2]), 1;
  } catch (const std::exception& ex) {
    return std::fprintf(stderr, "make_demo_packet: %s\n", ex.what()), 1;
  }
  return 0;
}
