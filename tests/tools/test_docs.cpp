// The pictures under docs/ are what basinshot draws now: each, listed in
// docs/pictures.txt with the arguments that made it, is drawn again and
// compared in every pixel, so a change to the pictures cannot leave stale
// ones in the README.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/types.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/pictures.h"
#include "tests/support/process.h"
#include "viewer/keys.h"

namespace {

const std::string DOCS = std::string(SOURCE_DIR) + "/docs/";

TEST(Docs, EveryPictureIsWhatItsCommandDrawsNow) {
  std::ifstream table(DOCS + "pictures.txt");
  ASSERT_TRUE(table) << "no docs/pictures.txt";
  std::set<std::string> listed;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string picture, arguments;
    words >> picture;
    std::getline(words >> std::ws, arguments);
    listed.insert(picture);
    const std::string out = ::testing::TempDir() + "docs-" + picture;
    const std::string command = std::string(BASINSHOT) + " " + arguments + " --quiet -o " + out;
    const support::Result r = support::run({"sh", "-c", command});
    ASSERT_EQ(r.status, 0) << command << ": " << r.err;
    const basin::Picture drawn = support::readPng(out), kept = support::readPng(DOCS + picture);
    EXPECT_TRUE(drawn.width > 0 && support::samePicture(drawn, kept))
        << "docs/" << picture << " is not what `basinshot " << arguments << "` draws now";
  }
  // Every picture under docs/ is in the table.
  DIR* folder = opendir(DOCS.c_str());
  ASSERT_NE(folder, nullptr);
  for (const dirent* entry; (entry = readdir(folder)) != nullptr;) {
    const std::string name = entry->d_name;
    const bool png = name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0;
    EXPECT_TRUE(!png || listed.count(name) == 1) << "docs/" << name << " is not in pictures.txt";
  }
  closedir(folder);
}

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The lines of `text` from the one after the first that starts with `from`
// up to the next that starts with `to`.
std::vector<std::string> section(const std::string& text, const std::string& from,
                                 const std::string& to) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (inside && line.rfind(to, 0) == 0) break;
    if (inside) lines.push_back(line);
    inside = inside || line.rfind(from, 0) == 0;
  }
  return lines;
}

// The words between backticks in `cell`.
std::set<std::string> quoted(const std::string& cell) {
  std::set<std::string> words;
  for (std::size_t at = cell.find('`'); at != std::string::npos; at = cell.find('`', at + 1)) {
    const std::size_t end = cell.find('`', at + 1);
    if (end == std::string::npos) break;
    words.insert(cell.substr(at + 1, end - at - 1));
    at = end;
  }
  return words;
}

// The cells of a Markdown table row "| a | b | c |".
std::vector<std::string> cells(const std::string& row) {
  std::vector<std::string> out;
  std::istringstream in(row.substr(1));
  for (std::string cell; std::getline(in, cell, '|');) out.push_back(cell);
  return out;
}

// The key and mouse tables of the README and of each viewer's manual page
// list exactly the entries of KEYS and MOUSE, which the programs read.
TEST(Docs, KeyAndMouseTablesListTheProgramsOwnTables) {
  std::set<std::string> labels, gestures, words, scripted;
  for (std::size_t i = 0; i < basin::KEY_COUNT; ++i) {
    const basin::KeyCommand& key = basin::KEYS[i];
    labels.insert(key.label);
    if (basin::scriptable(key))
      scripted.insert(key.takesPointer ? std::string(".BI ") + key.word + "@ X , Y"
                                       : std::string(".B ") + key.word);
  }
  for (std::size_t i = 0; i < basin::MOUSE_COUNT; ++i) {
    gestures.insert(basin::MOUSE[i].gesture);
    words.insert(basin::MOUSE[i].word);
  }
  // The README: the key table's first column, the mouse table's script words.
  std::set<std::string> readmeKeys, readmeWords;
  for (const std::string& row :
       section(fileText(std::string(SOURCE_DIR) + "/README.md"), "| Key | What it does |", "## ")) {
    if (row.rfind("| ", 0) != 0 || row.rfind("| ---", 0) == 0) continue;
    const std::vector<std::string> c = cells(row);
    if (c.size() == 2) {
      const std::set<std::string> keys = quoted(c[0]);
      if (c[0].find("Escape") != std::string::npos) readmeKeys.insert("Escape");
      readmeKeys.insert(keys.begin(), keys.end());
    } else if (c.size() == 3 && c[0] != " Mouse ") {
      for (const std::string& word : quoted(c[2]))
        readmeWords.insert(word.substr(0, word.find('@')));
    }
  }
  EXPECT_EQ(readmeKeys, labels) << "README.md, the key table";
  EXPECT_EQ(readmeWords, words) << "README.md, the mouse table";
  // Each viewer's page: a .TP entry for each key and each gesture.
  for (const char* page : {"duobasin.1", "quadbasin.1", "polybasin.1"}) {
    const std::string text = fileText(DOCS + "man/" + page);
    std::set<std::string> keys, mouse;
    const std::vector<std::string> keyLines = section(text, ".SH KEYS", ".SH ");
    for (std::size_t i = 0; i + 1 < keyLines.size(); ++i)
      if (keyLines[i] == ".TP" && keyLines[i + 1].rfind(".B ", 0) == 0)
        keys.insert(keyLines[i + 1].substr(3));
    const std::vector<std::string> mouseLines = section(text, ".SH MOUSE", ".SH ");
    for (std::size_t i = 0; i + 1 < mouseLines.size(); ++i)
      if (mouseLines[i] == ".TP") mouse.insert(mouseLines[i + 1]);
    EXPECT_EQ(keys, labels) << page << ", KEYS";
    EXPECT_EQ(mouse, gestures) << page << ", MOUSE";
  }
  // basinshot's page names every word a key script takes.
  const std::vector<std::string> keysOption =
      section(fileText(DOCS + "man/basinshot.1"), ".BI \\-\\-keys \" KEYS\"", ".TP");
  const auto names = [&](const std::string& start) {
    return std::any_of(keysOption.begin(), keysOption.end(),
                       [&](const std::string& l) { return l.rfind(start, 0) == 0; });
  };
  for (const std::string& line : scripted) EXPECT_TRUE(names(line)) << "basinshot.1 lacks " << line;
  for (const std::string& word : words)
    EXPECT_TRUE(names(".BI " + word + "@")) << "basinshot.1 lacks " << word;
}

}  // namespace
