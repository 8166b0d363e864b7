#include "reports/ReportRequest.h"

#include <gtest/gtest.h>

namespace {

QStringList Args(std::initializer_list<const char*> args) {
  QStringList list;
  for (const char* a : args) list << QString::fromUtf8(a);
  return list;
}

TEST(ReportRequest, KindsFolderAndDestination) {
  const struct {
    const char* first;
    TReportKind kind;
  } cases[] = {{"/RINF", TReportKind::FolderInformation}, {"/rcsv", TReportKind::CommaSeparated},
               {"/RTab", TReportKind::TabSeparated},      {"/RTXT", TReportKind::SpaceAligned}};
  for (const auto& c : cases) {
    const TReportParse parse = ParseReportCommandLine(Args({c.first, "C:\\data", "out"}));
    ASSERT_EQ(parse.Status, TReportParseStatus::Ok) << c.first;
    EXPECT_EQ(parse.Request.Kind, c.kind) << c.first;
    EXPECT_EQ(parse.Request.Folder, QStringLiteral("C:\\data"));
    EXPECT_EQ(parse.Request.Destination, QStringLiteral("out"));
    EXPECT_FALSE(parse.Request.Quiet);
  }
}

TEST(ReportRequest, WrongCommandLinesMakeNoReport) {
  EXPECT_EQ(ParseReportCommandLine(Args({"C:\\data"})).Status, TReportParseStatus::NotAReport);
  EXPECT_EQ(ParseReportCommandLine({}).Status, TReportParseStatus::NotAReport);
  for (const auto& args : {Args({"/RXLS", "C:\\", "out"}), Args({"/R", "C:\\", "out"}), Args({"/RINF", "C:\\"}),
                           Args({"/RCSV"}), Args({"/RINF", "C:\\", ""}), Args({"/RTXT", "C:\\", "out", "/HT:K:lots"}),
                           Args({"/RTXT", "C:\\", "out", "/HT:K:40000"})}) {
    const TReportParse parse = ParseReportCommandLine(args);
    EXPECT_EQ(parse.Status, TReportParseStatus::BadArguments) << args.join(' ').toStdString();
    EXPECT_FALSE(parse.Error.isEmpty());
  }
}

TEST(ReportRequest, EachOptionChangesItsOwnSetting) {
  const TSubfolderView before;
  struct TCase {
    const char* option;
    TSubfolderView after;
  };
  auto with = [&](auto change) {
    TSubfolderView v = before;
    change(v);
    return v;
  };
  const TCase cases[] = {
      {"/A", with([](TSubfolderView& v) { v.DisplayType = 2; })},
      {"/HT:M:5", with([](TSubfolderView& v) { v.DisplayType = 1; v.LargerThanUnit = 2; v.LargerThanText = "5"; })},
      {"/hx:b:100", with([](TSubfolderView& v) { v.DisplayType = 1; v.LargerThanUnit = 0; v.LargerThanText = "100"; })},
      // Any other unit character keeps the unit.
      {"/HT:G:7", with([](TSubfolderView& v) { v.DisplayType = 1; v.LargerThanText = "7"; })},
      {"/TOP:25", with([](TSubfolderView& v) { v.DisplayType = 0; v.TopText = "25"; })},
      {"/SD:3", with([](TSubfolderView& v) { v.Sort = -3; })},
      {"/SA:8", with([](TSubfolderView& v) { v.Sort = 8; })},
      {"/sx:1", with([](TSubfolderView& v) { v.Sort = 1; })},
      {"/SD:9", before},
      {"/SD:0", before},
      {"/W:F", with([](TSubfolderView& v) { v.IncludeWasted = false; })},
      {"/w:t", before},
      {"/W:X", before},
      {"/Q", before},
      {"not-an-option", before},
      {"/Z", before},
  };
  for (const TCase& c : cases) {
    const TReportParse parse = ParseReportCommandLine(Args({"/RTXT", "C:\\", "out", c.option}));
    ASSERT_EQ(parse.Status, TReportParseStatus::Ok) << c.option;
    TSubfolderView view = before;
    ApplyReportOptions(parse.Request, view);
    EXPECT_EQ(view, c.after) << c.option;
  }
  EXPECT_TRUE(ParseReportCommandLine(Args({"/RTXT", "C:\\", "out", "/q"})).Request.Quiet);
  EXPECT_TRUE(HasQuietOption(Args({"/RXYZ", "C:\\", "out", "/A", "/Quiet"})));
  EXPECT_FALSE(HasQuietOption(Args({"/RTXT", "/Q", "out"})));
}

TEST(ReportRequest, OnlyInformationAndTheAlignedListGoToThePrinter) {
  const struct {
    const char* kind;
    const char* destination;
    bool printer;
  } cases[] = {{"/RINF", "PRINTER", true}, {"/RTXT", "PRINTER", true}, {"/RCSV", "PRINTER", false},
               {"/RTAB", "PRINTER", false}, {"/RINF", "printer", false}, {"/RTXT", "PRINTER.txt", false}};
  for (const auto& c : cases)
    EXPECT_EQ(ParseReportCommandLine(Args({c.kind, "C:\\", c.destination})).Request.ToPrinter(), c.printer)
        << c.kind << " " << c.destination;
}

TEST(ReportRequest, SavedViewQueueGivesBackWhatWasPushedInOrder) {
  TSubfolderView view;
  view.DisplayType = 1;
  view.TopText = "33";
  view.LargerThanUnit = 2;
  view.LargerThanText = "12";
  view.Sort = -5;
  view.IncludeWasted = false;
  TSimpleDataBackUp backup;
  backup.Push(view);
  backup.PushString("extra");
  EXPECT_EQ(backup.Pop(), view);
  EXPECT_EQ(backup.PopString(), QStringLiteral("extra"));
  EXPECT_TRUE(backup.IsEmpty());
  EXPECT_EQ(backup.PopInt(), 0);
}

}  // namespace
