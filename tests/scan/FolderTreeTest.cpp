// Folder tree: child slots as folders fill, are compacted and refilled; node texts of every kind;
// records attached, replaced, detached and freed; one-level sorting; the observer's notifications;
// and very deep chains.
#include "scan/FolderTree.h"

#include "platform/HostNames.h"
#include "scan/FolderSize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<TFolderSize> Record(int64_t size) {
  auto rec = std::make_unique<TFolderSize>();
  rec->TotalSize = size;
  return rec;
}

// Every child of parent is where its Index() says and carries the expected text.
void ExpectChildren(const TTreeNode* parent, const std::vector<QString>& texts) {
  ASSERT_EQ(parent->Count(), static_cast<int>(texts.size()));
  EXPECT_EQ(parent->HasChildren(), !texts.empty());
  for (int i = 0; i < parent->Count(); ++i) {
    const TTreeNode* child = parent->Child(i);
    ASSERT_NE(child, nullptr) << "row " << i;
    EXPECT_EQ(child->Index(), i);
    EXPECT_EQ(child->Parent(), parent);
    EXPECT_EQ(child->Text(), texts[static_cast<size_t>(i)]) << "row " << i;
  }
}

std::vector<QString> TextsOf(const TTreeNode* parent) {
  std::vector<QString> texts;
  for (int i = 0; i < parent->Count(); ++i) texts.push_back(parent->Child(i)->Text());
  return texts;
}

QString Name(int i) { return QStringLiteral("n%1").arg(i); }

// ---------------------------------------------------------------------------------------------
// Child slots

// Children appended one by one through the 4/8/16/... steps, then compacted at various counts and
// appended to again: every child stays reachable at its position.
TEST(FolderTreeChildren, AppendCompactAndAppendAgainKeepEveryChild) {
  for (const int compactAt : {0, 1, 3, 4, 5, 7, 8, 9, 16, 17, 64, 100}) {
    SCOPED_TRACE(compactAt);
    TFolderTree tree;
    TTreeNode* parent = tree.AddTop(u"T");
    std::vector<QString> expected;
    for (int i = 0; i < compactAt; ++i) {
      expected.push_back(Name(i));
      tree.AddChild(parent, expected.back());
      ExpectChildren(parent, expected);
    }
    tree.Compact(parent);
    ExpectChildren(parent, expected);
    tree.Compact(parent);  // twice is harmless
    for (int i = compactAt; i < compactAt + 40; ++i) {
      expected.push_back(Name(i));
      TTreeNode* child = tree.AddChild(parent, expected.back());
      EXPECT_EQ(child, parent->Child(i));
      ExpectChildren(parent, expected);
    }
    // Compacted again after the refill, then refilled once more.
    tree.Compact(parent);
    for (int i = compactAt + 40; i < compactAt + 45; ++i) {
      expected.push_back(Name(i));
      tree.AddChild(parent, expected.back());
    }
    ExpectChildren(parent, expected);
  }
}

TEST(FolderTreeChildren, DeleteNodeRenumbersFollowingSiblingsAndAppendingContinues) {
  TFolderTree tree;
  TTreeNode* parent = tree.AddTop(u"T");
  std::vector<QString> expected;
  for (int i = 0; i < 100; ++i) {
    expected.push_back(Name(i));
    tree.AddChild(parent, expected.back());
  }
  TTreeNode* grandchild = tree.AddChild(parent->Child(50), u"inside");
  tree.SetData(grandchild, Record(1));

  // Middle (with a subtree and a record), first, last.
  for (const int row : {50, 0, 97, 31}) {
    tree.DeleteNode(parent->Child(row));
    expected.erase(expected.begin() + row);
    ExpectChildren(parent, expected);
  }
  // Down to a power of two, where the next append has to find room again.
  while (parent->Count() > 64) {
    tree.DeleteNode(parent->Child(10));
    expected.erase(expected.begin() + 10);
  }
  ExpectChildren(parent, expected);
  for (int i = 100; i < 140; ++i) {
    expected.push_back(Name(i));
    tree.AddChild(parent, expected.back());
    ExpectChildren(parent, expected);
  }
  // Compacted, an entry removed, then appended to.
  tree.Compact(parent);
  tree.DeleteNode(parent->Child(3));
  expected.erase(expected.begin() + 3);
  for (int i = 140; i < 150; ++i) {
    expected.push_back(Name(i));
    tree.AddChild(parent, expected.back());
  }
  ExpectChildren(parent, expected);
}

TEST(FolderTreeChildren, TopLevelNodesAreNumberedAndDeletedLikeChildren) {
  TFolderTree tree;
  for (const char16_t* text : {u"C", u"D", u"E", u"F", u"G"}) tree.AddTop(QStringView(text));
  tree.DeleteNode(tree.Top(1));
  ASSERT_EQ(tree.TopCount(), 4);
  const std::vector<QString> expected = {u"C"_s, u"E"_s, u"F"_s, u"G"_s};
  for (int i = 0; i < tree.TopCount(); ++i) {
    EXPECT_EQ(tree.Top(i)->Index(), i);
    EXPECT_EQ(tree.Top(i)->Parent(), nullptr);
    EXPECT_EQ(tree.Top(i)->Text(), expected[static_cast<size_t>(i)]);
  }
}

TEST(FolderTreeChildren, DeleteChildrenAndClearEmptyTheTreeAndLeaveItUsable) {
  TFolderTree tree;
  TTreeNode* top = tree.AddTop(u"T");
  TTreeNode* other = tree.AddTop(u"U");
  for (int i = 0; i < 10; ++i) {
    TTreeNode* child = tree.AddChild(top, Name(i));
    tree.SetData(child, Record(i));
    tree.SetData(tree.AddChild(child, u"x"), Record(i));
  }
  tree.AddChild(other, u"kept");
  tree.Compact(top);

  tree.DeleteChildren(top);
  ExpectChildren(top, {});
  ExpectChildren(other, {u"kept"_s});
  tree.DeleteChildren(top);  // nothing left: no-op

  tree.AddChild(top, u"again");
  ExpectChildren(top, {u"again"_s});

  tree.SetData(top, Record(5));
  tree.Clear();
  EXPECT_EQ(tree.TopCount(), 0);
  TTreeNode* fresh = tree.AddTop(u"V");
  EXPECT_EQ(tree.TopCount(), 1);
  EXPECT_EQ(fresh->Index(), 0);
  tree.AddChild(fresh, u"child");
  ExpectChildren(fresh, {u"child"_s});
}

// ---------------------------------------------------------------------------------------------
// Texts

QString LoneSurrogates() {
  // Undecodable host bytes 0x80 and 0xFF as the host-name decoding gives them, around text.
  QString s = QStringLiteral("a");
  s += QChar(0xDC80);
  s += QStringLiteral("b");
  s += QChar(0xDCFF);
  return s;
}

std::vector<QString> TextCases() {
  QString highAlone = QStringLiteral("x");
  highAlone += QChar(0xD83D);  // a high surrogate without its partner
  highAlone += QStringLiteral("y");
  QString hostChars;
  hostChars += QChar(HostBackslashChar);
  hostChars += QChar(HostColonChar);
  return {
      QStringLiteral("Windows"),
      QString(),
      QStringLiteral("Caf\u00E9 \u00C4\u00D6\u00DC \u00DF"),
      QString::fromUtf8("\xF0\x9F\x93\x81 Fotos \xF0\x9F\x8E\x89"),  // emoji (surrogate pairs)
      LoneSurrogates(),
      highAlone,
      hostChars,
      QString(255, QChar(u'w')),
      QString(255, QChar(0x00E9)),  // 255 characters, 510 bytes
      QString(255, QChar(0x4E2D)),  // 255 characters, 765 bytes
      QStringLiteral("a"),
  };
}

TEST(FolderTreeText, EveryTextRoundTrips) {
  TFolderTree tree;
  TTreeNode* top = tree.AddTop(u"T");
  for (const QString& text : TextCases()) {
    SCOPED_TRACE(text.toStdString());
    const TTreeNode* viaString = tree.AddChild(top, text);
    EXPECT_EQ(viaString->Text(), text);
    EXPECT_EQ(viaString->TextBytes(), EncodeWtf8(text));
    const TTreeNode* viaBytes = tree.AddChildBytes(top, EncodeWtf8(text));
    EXPECT_EQ(viaBytes->Text(), text);
    const TTreeNode* asTop = tree.AddTop(text);
    EXPECT_EQ(asTop->Text(), text);
  }
  const TTreeNode* empty = tree.AddChildBytes(top, std::string_view());
  EXPECT_EQ(empty->Text(), QString());
}

// Every text replaced by every other one (longer and shorter, inline and in a separate block)
// and back, with neighbours on both sides that must not be touched.
TEST(FolderTreeText, SetTextToLongerAndShorterTexts) {
  const std::vector<QString> cases = TextCases();
  TFolderTree tree;
  TTreeNode* top = tree.AddTop(u"T");
  for (const QString& from : cases) {
    for (const QString& to : cases) {
      SCOPED_TRACE(from.toStdString() + " -> " + to.toStdString());
      TTreeNode* before = tree.AddChild(top, u"before");
      TTreeNode* node = tree.AddChild(top, from);
      TTreeNode* after = tree.AddChild(top, u"after");
      tree.SetText(node, to);
      EXPECT_EQ(node->Text(), to);
      EXPECT_EQ(node->TextBytes(), EncodeWtf8(to));
      tree.SetText(node, from);
      EXPECT_EQ(node->Text(), from);
      tree.SetText(node, to);
      EXPECT_EQ(node->Text(), to);
      EXPECT_EQ(before->Text(), u"before"_s);
      EXPECT_EQ(after->Text(), u"after"_s);
      tree.DeleteChildren(top);
    }
  }
}

// A shrunk inline text grown again, step by step up to far beyond the first length.
TEST(FolderTreeText, SetTextGrowingStepByStep) {
  TFolderTree tree;
  TTreeNode* node = tree.AddTop(u"0123456789");
  for (const int len : {4, 0, 7, 10, 12, 3, 300, 2, 301}) {
    QString text;
    for (int i = 0; i < len; ++i) text += QChar(u'a' + i % 26);
    tree.SetText(node, text);
    EXPECT_EQ(node->Text(), text) << len;
  }
}

// Nodes are freed and their blocks handed to later nodes: texts shrunk in place or moved out
// before the node went, of every length, must leave no live node's text overwritten.
TEST(FolderTreeText, FreedNodesMakeRoomForLaterOnesWithoutTouchingLiveOnes) {
  const std::vector<QString> cases = TextCases();
  TFolderTree tree;
  TTreeNode* top = tree.AddTop(u"T");
  std::map<const TTreeNode*, QString> live;
  for (int round = 0; round < 3; ++round) {
    for (size_t i = 0; i < cases.size() * 4; ++i) {
      const QString& text = cases[(i * 7 + static_cast<size_t>(round)) % cases.size()];
      TTreeNode* node = tree.AddChild(top, text);
      live[node] = text;
      if (i % 3 == 1) {
        // Shrunk in place, or moved out of the node's block, before the node goes.
        const QString& other = cases[(i + 1) % cases.size()];
        tree.SetText(node, other);
        live[node] = other;
      }
    }
    // Every other node goes; the next round's nodes take their blocks.
    for (int row = top->Count() - 1; row >= 0; row -= 2) {
      live.erase(top->Child(row));
      tree.DeleteNode(top->Child(row));
    }
    ASSERT_EQ(live.size(), static_cast<size_t>(top->Count()));
    for (int row = 0; row < top->Count(); ++row) {
      const TTreeNode* node = top->Child(row);
      ASSERT_EQ(node->Index(), row);
      EXPECT_EQ(node->Text(), live.at(node)) << "round " << round << ", row " << row;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Records

TEST(FolderTreeData, SetDataReplacesAndTakeDataDetaches) {
  TFolderTree tree;
  TTreeNode* node = tree.AddTop(u"T");
  EXPECT_EQ(node->Data(), nullptr);
  EXPECT_EQ(tree.TakeData(node), nullptr);

  auto first = Record(1);
  TFolderSize* firstPtr = first.get();
  tree.SetData(node, std::move(first));
  EXPECT_EQ(node->Data(), firstPtr);

  auto second = Record(2);
  TFolderSize* secondPtr = second.get();
  tree.SetData(node, std::move(second));  // the first record is freed (checked by the sanitizers)
  ASSERT_EQ(node->Data(), secondPtr);
  EXPECT_EQ(node->Data()->TotalSize, 2);

  std::unique_ptr<TFolderSize> taken = tree.TakeData(node);
  EXPECT_EQ(taken.get(), secondPtr);
  EXPECT_EQ(node->Data(), nullptr);
  EXPECT_EQ(taken->TotalSize, 2);

  tree.SetData(node, Record(3));
  tree.SetData(node, nullptr);
  EXPECT_EQ(node->Data(), nullptr);
}

// T{a{a1, a2{a2x}}, b (no record), c{c1}}, every node but b with a record.
struct DataTree {
  TFolderTree tree;
  std::map<std::string, TTreeNode*> nodes;

  DataTree() {
    Add("T", nullptr);
    Add("a", "T");
    Add("a1", "a");
    Add("a2", "a");
    Add("a2x", "a2");
    Add("b", "T");
    Add("c", "T");
    Add("c1", "c");
    for (auto& [name, node] : nodes)
      if (name != "b") tree.SetData(node, Record(1));
  }
  void Add(const char* name, const char* parent) {
    const QString text = QString::fromLatin1(name);
    nodes[name] = parent ? tree.AddChild(nodes.at(parent), text) : tree.AddTop(text);
  }
  std::set<std::string> WithRecords() const {
    std::set<std::string> names;
    for (const auto& [name, node] : nodes)
      if (node->Data()) names.insert(name);
    return names;
  }
};

TEST(FolderTreeData, FreeSubtreeRecordsEmptiesExactlyTheSubtree) {
  struct Case {
    const char* node;
    bool includeSelf;
    std::set<std::string> left;
  };
  const Case cases[] = {
      {"a", false, {"T", "a", "c", "c1"}},
      {"a", true, {"T", "c", "c1"}},
      {"a2", false, {"T", "a", "a1", "a2", "c", "c1"}},
      {"a2x", true, {"T", "a", "a1", "a2", "c", "c1"}},
      {"a2x", false, {"T", "a", "a1", "a2", "a2x", "c", "c1"}},
      {"b", true, {"T", "a", "a1", "a2", "a2x", "c", "c1"}},
      {"c", true, {"T", "a", "a1", "a2", "a2x"}},
      {"T", false, {"T"}},
      {"T", true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.node) + (c.includeSelf ? " with itself" : " below it"));
    DataTree t;
    t.tree.FreeSubtreeRecords(t.nodes.at(c.node), c.includeSelf);
    EXPECT_EQ(t.WithRecords(), c.left);
    EXPECT_EQ(t.nodes.at("a2")->Count(), 1);  // the nodes themselves stay
  }
  DataTree t;
  t.tree.FreeSubtreeRecords(nullptr, true);
  EXPECT_EQ(t.WithRecords().size(), 7u);
}

// ---------------------------------------------------------------------------------------------
// Sorting

std::vector<QString> Sorted(const std::vector<QString>& input) {
  TFolderTree tree;
  TTreeNode* parent = tree.AddTop(u"T");
  for (const QString& text : input) tree.AddChild(parent, text);
  tree.SortChildren(parent);
  for (int i = 0; i < parent->Count(); ++i) EXPECT_EQ(parent->Child(i)->Index(), i);
  return TextsOf(parent);
}

TEST(FolderTreeSort, SortsAlphabeticallyWithTheUsersCollation) {
  struct Case {
    std::vector<QString> input;
    std::vector<QString> expected;
  };
  const Case cases[] = {
      {{u"beta"_s, u"Alpha"_s, u"gamma"_s, u"alpha2"_s},
       {u"Alpha"_s, u"alpha2"_s, u"beta"_s, u"gamma"_s}},
      // Case does not split the alphabet (a plain code comparison would put Gamma first).
      {{u"beta"_s, u"Gamma"_s, u"alpha"_s, u"Delta"_s},
       {u"alpha"_s, u"beta"_s, u"Delta"_s, u"Gamma"_s}},
      // Accented letters sort with their base letter.
      {{u"ec"_s, u"\u00E9a"_s, u"eb"_s, u"zz"_s}, {u"\u00E9a"_s, u"eb"_s, u"ec"_s, u"zz"_s}},
      // Digits compare as characters, not as numbers.
      {{u"file2"_s, u"file10"_s, u"file1"_s}, {u"file1"_s, u"file10"_s, u"file2"_s}},
      {{u"b"_s, u"a"_s}, {u"a"_s, u"b"_s}},
      {{u"only"_s}, {u"only"_s}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sorted(c.input), c.expected);
    // The same order whatever the order the names arrived in.
    std::vector<QString> reversed(c.input.rbegin(), c.input.rend());
    EXPECT_EQ(Sorted(reversed), c.expected);
  }
}

TEST(FolderTreeSort, SortsOneLevelOnlyAndKeepsSubtreesAndRecords) {
  TFolderTree tree;
  TTreeNode* parent = tree.AddTop(u"T");
  TTreeNode* z = tree.AddChild(parent, u"zeta");
  TTreeNode* a = tree.AddChild(parent, u"alpha");
  for (const char16_t* text : {u"y", u"x", u"w"}) tree.AddChild(z, QStringView(text));
  tree.SetData(z, Record(7));
  tree.SortChildren(parent);

  ExpectChildren(parent, {u"alpha"_s, u"zeta"_s});
  EXPECT_EQ(parent->Child(0), a);
  EXPECT_EQ(parent->Child(1), z);
  ExpectChildren(z, {u"y"_s, u"x"_s, u"w"_s});
  ASSERT_NE(z->Data(), nullptr);
  EXPECT_EQ(z->Data()->TotalSize, 7);
}

// Display-name normalisation gives two folders the same text (WINDOWS and windows both show as
// Windows): equal texts keep the order in which they were added.
TEST(FolderTreeSort, EqualTextsKeepTheirOrder) {
  TFolderTree tree;
  TTreeNode* parent = tree.AddTop(u"T");
  const std::vector<std::pair<QString, int>> input = {
      {u"Windows"_s, 1}, {u"Zeta"_s, 2}, {u"Windows"_s, 3}, {u"Apps"_s, 4}, {u"Windows"_s, 5}};
  for (const auto& [text, tag] : input) tree.AddChild(parent, text)->StateIndex = tag;
  tree.SortChildren(parent);
  std::vector<int> tags;
  for (int i = 0; i < parent->Count(); ++i) tags.push_back(parent->Child(i)->StateIndex);
  EXPECT_EQ(tags, (std::vector<int>{4, 1, 3, 5, 2}));

  // Enough of them that the sort cannot get by with insertion sort alone.
  const QString names[] = {u"Windows"_s, u"Zeta"_s, u"Apps"_s, u"temp"_s};
  const int rank[] = {2, 3, 0, 1};  // the names' alphabetical places
  tree.DeleteChildren(parent);
  std::vector<std::pair<int, int>> expected;  // (rank, tag), tags in the order added
  for (int i = 0; i < 80; ++i) {
    tree.AddChild(parent, names[(i * 7) % 4])->StateIndex = i;
    expected.emplace_back(rank[(i * 7) % 4], i);
  }
  std::sort(expected.begin(), expected.end());
  tree.SortChildren(parent);
  ASSERT_EQ(parent->Count(), 80);
  for (int i = 0; i < 80; ++i) {
    EXPECT_EQ(parent->Child(i)->StateIndex, expected[static_cast<size_t>(i)].second) << i;
    EXPECT_EQ(parent->Child(i)->Index(), i);
  }
}

// ---------------------------------------------------------------------------------------------
// Observer

class RecordingObserver : public ITreeObserver {
public:
  explicit RecordingObserver(TFolderTree& tree) : tree_(tree) {}
  std::vector<std::string> events;

  void BeforeInsert(TTreeNode* parent, int row) override {
    pendingParent_ = parent;
    // The new row is not there yet.
    events.push_back("BeforeInsert(" + Name(parent) + "," + std::to_string(row) + ") count " +
                     std::to_string(CountOf(parent)));
  }
  void AfterInsert() override {
    events.push_back("AfterInsert count " + std::to_string(CountOf(pendingParent_)));
  }
  void BeforeRemove(TTreeNode* parent, int first, int last) override {
    pendingParent_ = parent;
    std::string rows;
    for (int i = first; i <= last; ++i) rows += " " + Name(ChildOf(parent, i));  // still there
    events.push_back("BeforeRemove(" + Name(parent) + "," + std::to_string(first) + "," +
                     std::to_string(last) + ")" + rows);
  }
  void AfterRemove() override {
    events.push_back("AfterRemove count " + std::to_string(CountOf(pendingParent_)));
  }
  void BeforeSort(TTreeNode* parent) override {
    events.push_back("BeforeSort(" + Name(parent) + ") " + Texts(parent));
  }
  void AfterSort(TTreeNode* parent) override {
    events.push_back("AfterSort(" + Name(parent) + ") " + Texts(parent));
  }
  void NodeChanged(TTreeNode* node) override {
    events.push_back("NodeChanged(" + Name(node) + ")");
  }

  std::vector<std::string> Take() { return std::exchange(events, {}); }

private:
  static std::string Name(const TTreeNode* node) {
    return node ? node->Text().toStdString() : std::string("null");
  }
  int CountOf(const TTreeNode* parent) const { return parent ? parent->Count() : tree_.TopCount(); }
  TTreeNode* ChildOf(const TTreeNode* parent, int i) const {
    return parent ? parent->Child(i) : tree_.Top(i);
  }
  std::string Texts(const TTreeNode* parent) const {
    std::string s;
    for (int i = 0; i < CountOf(parent); ++i) s += (i ? "," : "") + Name(ChildOf(parent, i));
    return s;
  }

  TFolderTree& tree_;
  TTreeNode* pendingParent_ = nullptr;
};

TEST(FolderTreeObserver, ReportsEveryChangeInOrder) {
  TFolderTree tree;
  RecordingObserver obs(tree);
  tree.SetObserver(&obs);

  TTreeNode* top = tree.AddTop(u"T");
  TTreeNode* b = tree.AddChild(top, u"b");
  tree.AddChild(top, u"a");
  EXPECT_EQ(obs.Take(), (std::vector<std::string>{
                            "BeforeInsert(null,0) count 0", "AfterInsert count 1",
                            "BeforeInsert(T,0) count 0", "AfterInsert count 1",
                            "BeforeInsert(T,1) count 1", "AfterInsert count 2"}));

  tree.SetData(b, Record(1));
  tree.SetText(b, u"c");
  tree.SetStateIndex(top, ('T' << 8) | 1);
  EXPECT_EQ(top->StateIndex, ('T' << 8) | 1);
  EXPECT_EQ(obs.Take(), (std::vector<std::string>{"NodeChanged(b)", "NodeChanged(c)",
                                                  "NodeChanged(T)"}));

  tree.SortChildren(top);
  EXPECT_EQ(obs.Take(), (std::vector<std::string>{"BeforeSort(T) c,a", "AfterSort(T) a,c"}));
  tree.SortChildren(top);  // already in order
  tree.SortChildren(b);    // no children
  EXPECT_EQ(obs.Take(), std::vector<std::string>{});

  tree.AddChild(top, u"d");
  tree.AddChild(top, u"e");
  obs.Take();
  tree.DeleteNode(top->Child(1));  // c
  EXPECT_EQ(obs.Take(), (std::vector<std::string>{"BeforeRemove(T,1,1) c", "AfterRemove count 3"}));

  tree.DeleteChildren(top);
  EXPECT_EQ(obs.Take(),
            (std::vector<std::string>{"BeforeRemove(T,0,2) a d e", "AfterRemove count 0"}));
  tree.DeleteChildren(top);
  EXPECT_EQ(obs.Take(), std::vector<std::string>{});

  tree.AddTop(u"U");
  obs.Take();
  tree.Clear();
  EXPECT_EQ(obs.Take(), (std::vector<std::string>{"BeforeRemove(null,0,1) T U", "AfterRemove count 0"}));
  tree.SetObserver(nullptr);
}

TEST(FolderTreeObserver, RecordChangesAreReported) {
  TFolderTree tree;
  TTreeNode* top = tree.AddTop(u"T");
  TTreeNode* a = tree.AddChild(top, u"a");
  tree.AddChild(top, u"b");  // without a record
  TTreeNode* a1 = tree.AddChild(a, u"a1");
  tree.SetData(top, Record(1));
  tree.SetData(a, Record(1));
  tree.SetData(a1, Record(1));

  RecordingObserver obs(tree);
  tree.SetObserver(&obs);
  EXPECT_NE(tree.TakeData(a1), nullptr);
  EXPECT_EQ(tree.TakeData(a1), nullptr);  // nothing changes the second time
  EXPECT_EQ(obs.Take(), std::vector<std::string>{"NodeChanged(a1)"});

  tree.FreeSubtreeRecords(top, false);
  EXPECT_EQ(obs.Take(), std::vector<std::string>{"NodeChanged(a)"});
  tree.SetObserver(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Depth

TEST(FolderTreeDepth, DeepChainIsFreedAndDeletedWithoutRecursion) {
  constexpr int Depth = 100000;
  TFolderTree tree;
  TTreeNode* top = tree.AddTop(u"T");
  TTreeNode* node = top;
  for (int i = 0; i < Depth; ++i) {
    node = tree.AddChild(node, u"d");
    tree.SetData(node, Record(i));
  }
  TTreeNode* deepest = node;
  tree.SetData(top, Record(0));

  tree.FreeSubtreeRecords(top, false);
  ASSERT_NE(top->Data(), nullptr);
  int depth = 0;
  int withRecord = 0;
  for (const TTreeNode* n = deepest; n != top; n = n->Parent(), ++depth)
    if (n->Data()) ++withRecord;
  EXPECT_EQ(depth, Depth);
  EXPECT_EQ(withRecord, 0);

  for (TTreeNode* n = deepest; n; n = n->Parent()) tree.SetData(n, Record(1));
  tree.FreeSubtreeRecords(top, true);
  EXPECT_EQ(top->Data(), nullptr);
  EXPECT_EQ(deepest->Data(), nullptr);

  // Records everywhere again, then the chain is deleted below the top...
  for (TTreeNode* n = deepest; n; n = n->Parent()) tree.SetData(n, Record(1));
  tree.DeleteNode(top->Child(0));
  ExpectChildren(top, {});
  ASSERT_NE(top->Data(), nullptr);

  // ...and another one goes with the tree itself.
  node = tree.AddTop(u"U");
  for (int i = 0; i < Depth; ++i) tree.SetData(node = tree.AddChild(node, u"e"), Record(i));
  tree.DeleteChildren(top);
}

}  // namespace
