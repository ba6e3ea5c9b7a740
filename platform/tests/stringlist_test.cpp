// String lists: lines, Text with CR LF, SetText with every line break, name=value, files.
#include <gtest/gtest.h>


#include <filesystem>

#include "platform/errors.h"
#include "platform/process.h"
#include "platform/files.h"
#include "platform/stringlist.h"

using namespace rtl;

namespace {

std::vector<std::string> Lines(std::string_view text) {
  StringList l;
  l.SetText(text);
  return l.Lines();
}

TEST(StringList, AddInsertDelete) {
  StringList l;
  EXPECT_EQ(l.Count(), 0);
  EXPECT_EQ(l.Add("b"), 0);
  EXPECT_EQ(l.Add("d"), 1);
  l.Insert(0, "a");
  l.Insert(2, "c");
  l.Insert(4, "e");
  EXPECT_EQ(l.Lines(), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  l.Delete(4);
  l.Delete(0);
  EXPECT_EQ(l.Lines(), (std::vector<std::string>{"b", "c", "d"}));
  l[1] = "C";
  EXPECT_EQ(l[1], "C");
  EXPECT_THROW(l[3], EStringListError);
  EXPECT_THROW(l[-1], EStringListError);
  EXPECT_THROW(l.Delete(3), EStringListError);
  EXPECT_THROW(l.Insert(5, "x"), EStringListError);
  const StringList& cl = l;
  EXPECT_THROW(cl[10], EStringListError);
  l.Clear();
  EXPECT_EQ(l.Count(), 0);
}

TEST(StringList, IndexOfIsCaseInsensitive) {
  StringList l;
  l.Add("Alfa");
  l.Add("a\xE7\xE3o");
  EXPECT_EQ(l.IndexOf("ALFA"), 0);
  EXPECT_EQ(l.IndexOf("A\xC7\xC3O"), 1);
  EXPECT_EQ(l.IndexOf("beta"), -1);
  EXPECT_EQ(l.IndexOf("Alf"), -1);
}

TEST(StringList, TextJoinsWithCrLf) {
  StringList l;
  EXPECT_EQ(l.Text(), "");
  l.Add("a");
  l.Add("");
  l.Add("b");
  EXPECT_EQ(l.Text(), "a\r\n\r\nb\r\n");
  l.LineBreak = "\n";
  EXPECT_EQ(l.Text(), "a\n\nb\n");
}

TEST(StringList, SetTextSplitsEveryBreak) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Lines(""), V{});
  EXPECT_EQ(Lines("a"), V{"a"});
  EXPECT_EQ(Lines("a\r\nb\r\n"), (V{"a", "b"}));
  EXPECT_EQ(Lines("a\nb"), (V{"a", "b"}));
  EXPECT_EQ(Lines("a\rb\r"), (V{"a", "b"}));
  EXPECT_EQ(Lines("a\r\n\r\nb"), (V{"a", "", "b"}));
  EXPECT_EQ(Lines("a\n\rb"), (V{"a", "", "b"}));
  EXPECT_EQ(Lines("\r\n"), V{""});
  EXPECT_EQ(Lines("\n\n"), (V{"", ""}));
  EXPECT_EQ(Lines("a\r\n\nb"), (V{"a", "", "b"}));
  EXPECT_EQ(Lines(std::string("a\0b", 3)), V{std::string("a\0b", 3)});
  StringList l;
  l.SetText("x\r\ny");
  EXPECT_EQ(l.Text(), "x\r\ny\r\n");
}

TEST(StringList, NameValue) {
  StringList l;
  l.Add("Porta=COM1");
  l.Add("sem igual");
  l.Add("velocidade=9600=x");
  l.Add("Vazio=");
  EXPECT_EQ(l.Names(0), "Porta");
  EXPECT_EQ(l.Names(1), "");
  EXPECT_EQ(l.Values("PORTA"), "COM1");
  EXPECT_EQ(l.Values("Velocidade"), "9600=x");
  EXPECT_EQ(l.Values("Vazio"), "");
  EXPECT_EQ(l.Values("ausente"), "");
  EXPECT_EQ(l.IndexOfName("porta"), 0);
  EXPECT_EQ(l.IndexOfName("sem igual"), -1);
  EXPECT_EQ(l.IndexOfName("vazio"), 3);
  EXPECT_THROW(l.Names(9), EStringListError);
}

TEST(StringList, LoadAndSave) {
  auto dir = std::filesystem::temp_directory_path() / ("rtl-sl-" + std::to_string(rtl::ProcessId()));
  std::filesystem::create_directories(dir);
  std::string path = (dir / "l.txt").string();
  StringList l;
  l.Add("um");
  l.Add("dois\xE7");
  l.SaveToFile(path);
  EXPECT_EQ(ReadFileBytes(path), "um\r\ndois\xE7\r\n");
  StringList m;
  m.LoadFromFile(path);
  EXPECT_EQ(m.Lines(), l.Lines());
  EXPECT_THROW(m.LoadFromFile((dir / "missing.txt").string()), EFOpenError);
  EXPECT_THROW(l.SaveToFile((dir / "no" / "such" / "dir.txt").string()), EInOutError);
  std::filesystem::remove_all(dir);
}

}  // namespace
