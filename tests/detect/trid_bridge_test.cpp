// The bridge loads private instances of the signature library by slot.
#include "detect/trid_bridge.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_support.h"
#include "test_support_process.h"

namespace kpl {
namespace {

int identify(trid& t, const std::string& path, std::string& ext) {
  std::vector<char> p(path.begin(), path.end());
  p.push_back('\0');
  if (!t.SubmitFileA(p.data()) || !t.Analyze()) return -1;
  char buffer[1024] = {};
  int count = t.GetInfo(1, 0, buffer);
  if (count > 0) {
    t.GetInfo(3, 1, buffer);
    ext = buffer;
  }
  return count;
}

TEST(TridBridge, EachSlotGetsItsOwnInstance) {
  trid a, b;
  ASSERT_GE(a.Init(3), 1);
  ASSERT_GE(b.Init(4), 1);
  EXPECT_EQ(a.copyName(), "lib.3");
  EXPECT_NE(a.copyPath(), b.copyPath());
  test::TempDir dir;
  std::string png = dir.write("x.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
  std::string gif = dir.write("x.gif", std::string("GIF89a"));
  std::string extA, extB;
  EXPECT_EQ(identify(a, png, extA), 1);
  EXPECT_EQ(identify(b, gif, extB), 1);
  EXPECT_EQ(extA, "PNG");
  EXPECT_EQ(extB, "GIF");
  // Submitting to b did not disturb a's results: separate global state.
  char buffer[1024] = {};
  a.GetInfo(3, 1, buffer);
  EXPECT_STREQ(buffer, "PNG");
  // Two objects, not one loaded twice: the loader tells files apart by inode.
  struct stat sa {}, sb {}, library {};
  ASSERT_EQ(::stat(a.copyPath().c_str(), &sa), 0);
  ASSERT_EQ(::stat(b.copyPath().c_str(), &sb), 0);
  ASSERT_EQ(::stat("libTrIDLib.so", &library), 0);
  EXPECT_NE(sa.st_ino, sb.st_ino);
  // A copy holds what the loader maps, not the symbols and debugging data after it.
  EXPECT_LE(sa.st_size, library.st_size);
  EXPECT_EQ(sa.st_size, sb.st_size);
}

TEST(TridBridge, PrivateDirectoryCopiesAreRemoved) {
  trid::setCopyPlacement(trid::CopyPlacement::PrivateDirectory);
  std::string path;
  {
    trid t;
    ASSERT_GE(t.Init(7), 1);
    path = t.copyPath();
    EXPECT_EQ(path.substr(path.rfind('/') + 1), "lib.7");
    EXPECT_TRUE(test::fileExists(path));
  }
  trid::setCopyPlacement(trid::CopyPlacement::InMemory);
  EXPECT_FALSE(test::fileExists(path));
  EXPECT_FALSE(test::fileExists(path.substr(0, path.rfind('/'))));  // the directory went with the last copy
}

TEST(TridBridge, FailsWithoutTheLibraryInTheWorkingDirectory) {
  test::TempDir empty;
  int rc = test::runInChild([&] {
    if (::chdir(empty.path().c_str()) != 0) return 2;
    trid t;
    return t.Init(0) == 0 ? 0 : 1;
  });
  EXPECT_EQ(rc, 0);
  trid unloaded;
  char path[] = "x";
  EXPECT_EQ(unloaded.SubmitFileA(path), 0);  // never initialised: every call gives 0
}

}  // namespace
}  // namespace kpl
