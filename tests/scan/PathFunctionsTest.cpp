// Drive paths and folder-tree nodes: backslash handling, drive roots, parent folders, entries on a
// mapped drive, node paths and finding nodes by name and by path.
#include "scan/PathFunctions.h"

#include "scan/FolderTree.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct TextCase {
  QString in;
  QString expected;
};

void ExpectTable(const char* what, const std::function<QString(const QString&)>& f,
                 const std::vector<TextCase>& cases) {
  for (const TextCase& c : cases)
    EXPECT_EQ(f(c.in), c.expected) << what << "(\"" << c.in.toStdString() << "\")";
}

TEST(PathFunctionsText, AddBackslash) {
  ExpectTable("AddBackslash", AddBackslash,
              {{u""_s, u""_s},
               {u"C:"_s, u"C:\\"_s},
               {u"C:\\"_s, u"C:\\"_s},
               {u"C:\\Windows"_s, u"C:\\Windows\\"_s},
               {u"C:\\a\\\\"_s, u"C:\\a\\\\"_s},
               {u"\\"_s, u"\\"_s},
               {u"x"_s, u"x\\"_s}});
}

TEST(PathFunctionsText, RemoveBackslash) {
  ExpectTable("RemoveBackslash", RemoveBackslash,
              {{u""_s, u""_s},
               {u"\\"_s, u""_s},
               {u"C:\\"_s, u"C:"_s},
               {u"C:\\Windows\\"_s, u"C:\\Windows"_s},
               {u"C:\\Windows"_s, u"C:\\Windows"_s},
               {u"C:\\a\\\\"_s, u"C:\\a\\"_s}});  // one only
}

TEST(PathFunctionsText, IsDriveRoot) {
  struct Case {
    QString path;
    bool root;
  };
  const Case cases[] = {
      {u"C:"_s, true},   {u"C:\\"_s, true},     {u"c:\\"_s, true},   {u"Z:"_s, true},
      {u"C:\\x"_s, false}, {u""_s, false},      {u"\\\\"_s, false},  {u"CC:"_s, false},
      {u"C"_s, false},   {u"C:\\\\"_s, false},  {u"\\"_s, false},    {u"C:x"_s, false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsDriveRoot(c.path), c.root) << c.path.toStdString();
}

TEST(PathFunctionsText, ParentFolder) {
  ExpectTable("ParentFolder", ParentFolder,
              {{u"C:\\Windows\\System"_s, u"C:\\Windows"_s},
               {u"C:\\Windows\\System\\win.ini"_s, u"C:\\Windows\\System"_s},
               {u"C:\\Windows"_s, u"C:\\"_s},
               {u"C:\\"_s, u"C:\\"_s},
               {u"C:"_s, u"C:"_s},
               {u"C:file.txt"_s, u"C:"_s},
               {u"file.txt"_s, u""_s},
               {u""_s, u""_s},
               // The folder part of a path ending in "\" is the path itself, less the "\".
               {u"C:\\a\\b\\"_s, u"C:\\a\\b"_s},
               {u"\\a"_s, u""_s}});
}

// ---------------------------------------------------------------------------------------------
// Entries on a mapped drive

TEST(PathFunctionsEntries, ExistsDirectoryAndSizeOnAMappedDrive) {
  TFixtureTree fx;
  fx.File("big.bin", 4294967296LL + 5);
  fx.File("small.txt", 123);
  fx.File("folder/inner.txt", 7);
  fx.File("empty", 0);
  fx.File("\xFF.bin", 9);  // a name that is not UTF-8
  fx.Symlink("folder", "link");
  fx.Symlink("nowhere", "dangling");
  TDriveScope drives{{{'T', fx.Root()}}};

  struct Case {
    QString path;
    bool exists;
    bool directory;
    int64_t sizeLow;  // -1: not checked
  };
  const QString undecodable = u"T:\\"_s + QChar(0xDCFF) + u".bin"_s;
  const Case cases[] = {
      {u"T:\\big.bin"_s, true, false, 5},
      {u"T:\\small.txt"_s, true, false, 123},
      {u"t:\\small.txt"_s, true, false, 123},
      {u"T:\\empty"_s, true, false, 0},
      {u"T:\\folder\\inner.txt"_s, true, false, 7},
      {undecodable, true, false, 9},
      {u"T:\\folder"_s, true, true, -1},
      {u"T:\\"_s, true, true, -1},
      // A link is an entry of its own, never the folder it points to.
      {u"T:\\link"_s, true, false, -1},
      {u"T:\\dangling"_s, true, false, -1},
      {u"T:\\missing"_s, false, false, 0},
      {u"T:\\folder\\missing"_s, false, false, 0},
      {u"T:\\missing\\inner.txt"_s, false, false, 0},
      {u"T:\\small.txt\\below"_s, false, false, 0},
      {u"Q:\\big.bin"_s, false, false, 0},  // drive not mapped
      {u"Q:\\"_s, false, false, 0},
      {u""_s, false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.toStdString());
    EXPECT_EQ(PathExists(c.path), c.exists);
    EXPECT_EQ(IsDirectory(c.path), c.directory);
    if (c.sizeLow >= 0) {
      EXPECT_EQ(FileSizeLow(c.path), static_cast<uint32_t>(c.sizeLow));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Nodes

// T: {Windows {System32 {drivers}}, Temp}, D: {Daten}, as the scanner would set them up.
struct PathTree {
  TFolderTree tree;
  TTreeNode* t;
  TTreeNode* windows;
  TTreeNode* system32;
  TTreeNode* drivers;
  TTreeNode* temp;
  TTreeNode* d;
  TTreeNode* daten;

  PathTree() {
    t = tree.AddTop(u"Local Disk (T:)");
    t->StateIndex = ('T' << 8) | 1;
    windows = tree.AddChild(t, u"Windows");
    system32 = tree.AddChild(windows, u"System32");
    drivers = tree.AddChild(system32, u"drivers");
    temp = tree.AddChild(t, u"Temp");
    d = tree.AddTop(u"Data (D:)");
    d->StateIndex = 'D' << 8;  // not scanned to the end: low byte 0
    daten = tree.AddChild(d, u"Daten \u00E9t\u00E9");
    // A state index on a lower node never gives the letter.
    windows->StateIndex = 'X' << 8;
  }
};

TEST(PathFunctionsNodes, NodePath) {
  PathTree p;
  struct Case {
    const TTreeNode* node;
    QString path;
  };
  const Case cases[] = {
      {p.t, u"T:\\"_s},
      {p.windows, u"T:\\Windows"_s},
      {p.system32, u"T:\\Windows\\System32"_s},
      {p.drivers, u"T:\\Windows\\System32\\drivers"_s},
      {p.temp, u"T:\\Temp"_s},
      {p.d, u"D:\\"_s},
      {p.daten, u"D:\\Daten \u00E9t\u00E9"_s},
      {nullptr, u""_s},
  };
  for (const Case& c : cases) EXPECT_EQ(NodePath(c.node), c.path);

  EXPECT_EQ(NodeDriveLetter(p.t), QChar(u'T'));
  EXPECT_EQ(NodeDriveLetter(p.d), QChar(u'D'));
  EXPECT_EQ(NodeDriveLetter(nullptr), QChar());

  // Renaming a node shows in the paths below it.
  p.tree.SetText(p.system32, u"SysWOW64");
  EXPECT_EQ(NodePath(p.drivers), u"T:\\Windows\\SysWOW64\\drivers"_s);
}

TEST(PathFunctionsNodes, RootNode) {
  PathTree p;
  EXPECT_EQ(RootNode(nullptr), nullptr);
  EXPECT_EQ(RootNode(p.t), p.t);
  EXPECT_EQ(RootNode(p.windows), p.t);
  EXPECT_EQ(RootNode(p.drivers), p.t);
  EXPECT_EQ(RootNode(p.daten), p.d);
}

TEST(PathFunctionsNodes, FindChildNode) {
  TFolderTree tree;
  TTreeNode* top = tree.AddTop(u"T");
  for (const char16_t* text : {u"Windows", u"Temp", u"WINDOWS", u"\u00E4pfel", u"Windows"})
    tree.AddChild(top, QStringView(text));
  struct Case {
    QString name;
    bool caseSensitive;
    int row;  // -1: none
  };
  const Case cases[] = {
      {u"Windows"_s, true, 0},         {u"Windows"_s, false, 0},
      {u"WINDOWS"_s, true, 2},         {u"WINDOWS"_s, false, 0},  // first match
      {u"windows"_s, true, -1},        {u"windows"_s, false, 0},
      {u"TEMP"_s, false, 1},           {u"Tem"_s, false, -1},
      {u"Temp "_s, false, -1},         {u"\u00C4PFEL"_s, false, 3},
      {u"\u00C4PFEL"_s, true, -1},     {u""_s, false, -1},
      {u"Missing"_s, true, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.toStdString() + (c.caseSensitive ? " exact" : " any case"));
    EXPECT_EQ(FindChildNode(top, c.name, c.caseSensitive), c.row < 0 ? nullptr : top->Child(c.row));
  }
  EXPECT_EQ(FindChildNode(nullptr, u"Windows"_s, false), nullptr);
  EXPECT_EQ(FindChildNode(top->Child(1), u"Windows"_s, false), nullptr);  // no children
}

TEST(PathFunctionsNodes, FindNodeByPath) {
  PathTree p;
  struct Case {
    QString relPath;
    bool caseSensitive;
    TTreeNode* expected;
  };
  const Case cases[] = {
      {u""_s, true, p.t},
      {u""_s, false, p.t},
      {u"Windows"_s, true, p.windows},
      {u"WINDOWS"_s, false, p.windows},
      {u"WINDOWS"_s, true, nullptr},
      {u"Windows\\System32\\drivers"_s, true, p.drivers},
      {u"windows\\SYSTEM32\\Drivers"_s, false, p.drivers},
      {u"Windows\\Missing\\drivers"_s, false, nullptr},
      {u"Windows\\System32\\drivers\\deeper"_s, false, nullptr},
      {u"Missing"_s, false, nullptr},
      {u"Temp"_s, true, p.temp},
      {u"Windows\\Temp"_s, false, nullptr},  // one level below where Temp is
      // Extra backslashes separate nothing.
      {u"Windows\\System32\\"_s, true, p.system32},
      {u"Windows\\\\System32"_s, true, p.system32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.relPath.toStdString() + (c.caseSensitive ? " exact" : " any case"));
    EXPECT_EQ(FindNodeByPath(p.t, c.relPath, c.caseSensitive), c.expected);
  }
  EXPECT_EQ(FindNodeByPath(p.d, u"daten \u00C9T\u00C9"_s, false), p.daten);
  EXPECT_EQ(FindNodeByPath(p.windows, u"System32"_s, true), p.system32);  // from any node down
  EXPECT_EQ(FindNodeByPath(nullptr, u"Windows"_s, false), nullptr);
  EXPECT_EQ(FindNodeByPath(nullptr, u""_s, false), nullptr);
}

// The way the program goes from a path back to its node: the path below the drive root found from
// the root node leads to the node the path was made of.
TEST(PathFunctionsNodes, NodePathLeadsBackToTheNode) {
  PathTree p;
  for (TTreeNode* node : {p.t, p.windows, p.system32, p.drivers, p.temp, p.d, p.daten}) {
    const QString path = NodePath(node);
    SCOPED_TRACE(path.toStdString());
    EXPECT_EQ(IsDriveRoot(path), node->Parent() == nullptr);
    EXPECT_EQ(FindNodeByPath(RootNode(node), path.mid(3), true), node);
    if (node->Parent()) {
      EXPECT_EQ(ParentFolder(path), NodePath(node->Parent()));
    }
  }
}

}  // namespace
