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
                           Args({"/RCSV"}), Args({"/RINF", "C:\\", ""})}) {
    const TReportParse parse = ParseReportCommandLine(args);
    EXPECT_EQ(parse.Status, TReportParseStatus::BadArguments) << args.join(' ').toStdString();
    EXPECT_FALSE(parse.Error.isEmpty());
  }
}

TEST(ReportRequest, EachOptionChangesItsOwnSettingAndAnyOtherIsNamedAsIgnored) {
  const TSubfolderView before;
  struct TCase {
    const char* option;
    TSubfolderView after;
    bool ignored;
  };
  auto with = [&](auto change) {
    TSubfolderView v = before;
    change(v);
    return v;
  };
  const TCase cases[] = {
      {"/A", with([](TSubfolderView& v) { v.DisplayType = 2; }), false},
      // The short forms the help gives, and the long ones scripts already use.
      {"/T:3", with([](TSubfolderView& v) { v.DisplayType = 0; v.TopText = "3"; }), false},
      {"/TOP:25", with([](TSubfolderView& v) { v.DisplayType = 0; v.TopText = "25"; }), false},
      {"/H:K:1000", with([](TSubfolderView& v) { v.DisplayType = 1; v.LargerThanUnit = 1; v.LargerThanText = "1000"; }), false},
      {"/h:b:100", with([](TSubfolderView& v) { v.DisplayType = 1; v.LargerThanUnit = 0; v.LargerThanText = "100"; }), false},
      {"/HT:M:5", with([](TSubfolderView& v) { v.DisplayType = 1; v.LargerThanUnit = 2; v.LargerThanText = "5"; }), false},
      {"/S:2", with([](TSubfolderView& v) { v.Sort = 2; }), false},
      {"/SA:8", with([](TSubfolderView& v) { v.Sort = 8; }), false},
      {"/SD:2", with([](TSubfolderView& v) { v.Sort = -2; }), false},
      {"/sd:3", with([](TSubfolderView& v) { v.Sort = -3; }), false},
      {"/W:F", with([](TSubfolderView& v) { v.IncludeWasted = false; }), false},
      {"/w:t", before, false},
      {"/Q", before, false},
      // Nothing that is not one of those forms changes anything, and each is named.
      {"/HT:G:7", before, true},
      {"/hx:b:100", before, true},
      {"/sx:1", before, true},
      {"/SD:9", with([](TSubfolderView& v) { v.Sort = -9; }), false},
      {"/SD:10", before, true},
      {"/S:0", before, true},
      {"/S3", before, true},
      {"/W:X", before, true},
      {"/Quiet", before, true},
      {"/T3", before, true},
      {"not-an-option", before, true},
      {"/Z", before, true},
  };
  for (const TCase& c : cases) {
    const TReportParse parse = ParseReportCommandLine(Args({"/RTXT", "C:\\", "out", c.option}));
    ASSERT_EQ(parse.Status, TReportParseStatus::Ok) << c.option;
    TSubfolderView view = before;
    ApplyReportOptions(parse.Request, view);
    EXPECT_EQ(view, c.after) << c.option;
    EXPECT_EQ(parse.Ignored, c.ignored ? QStringList{QString::fromUtf8(c.option)} : QStringList()) << c.option;
  }
  EXPECT_TRUE(ParseReportCommandLine(Args({"/RTXT", "C:\\", "out", "/q"})).Request.Quiet);
  EXPECT_FALSE(ParseReportCommandLine(Args({"/RTXT", "C:\\", "out", "/Quiet"})).Request.Quiet);
  EXPECT_TRUE(HasQuietOption(Args({"/RXYZ", "C:\\", "out", "/A", "/q"})));
  EXPECT_FALSE(HasQuietOption(Args({"/RXYZ", "C:\\", "out", "/Quiet"})));
  EXPECT_FALSE(HasQuietOption(Args({"/RTXT", "/Q", "out"})));
}

TEST(ReportRequest, NumbersOfTopAndLargerThanMustBeWholeNumbers) {
  for (const char* option : {"/T:", "/T:x", "/TOP:-1", "/T:40000", "/H:K:", "/HT:K:lots", "/H:K:40000", "/H:K:1 "}) {
    const TReportParse parse = ParseReportCommandLine(Args({"/RTXT", "C:\\", "out", "/A", option}));
    EXPECT_EQ(parse.Status, TReportParseStatus::BadArguments) << option;
    EXPECT_TRUE(parse.Error.contains(QStringLiteral("whole number from 0 to 32767"))) << option;
  }
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
