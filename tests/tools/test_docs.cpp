// The pictures under docs/ are what basinshot draws now: each, listed in
// docs/pictures.txt with the arguments that made it, is drawn again and
// compared in every pixel, so a change to the pictures cannot leave stale
// ones in the README.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/types.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/pictures.h"
#include "tests/support/process.h"

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
    EXPECT_TRUE(drawn.size > 0 && drawn.size == kept.size && drawn.rgb == kept.rgb)
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

}  // namespace
