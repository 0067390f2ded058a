// Error reporting: the action header for every kind of event context, the final handling under
// each combination of the game's error settings, the log file, the terminating state, the
// headers callers put in front of code errors, and show_error / show_debug_message.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "runner/Runner.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "world/ErrorReport.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/FunctionRegistry.h"
#include "support/TestSupport.h"

namespace kestro {
namespace {

namespace fs = std::filesystem;

// Records what the window would show and closes it the way the test says.
class FakeWindow : public IErrorWindow {
 public:
  EErrorChoice Show(const CErrorMemo& memo, size_t firstNew, bool canIgnore) override {
    std::string added;
    for (size_t i = firstNew; i < memo.Lines().size(); ++i) added += memo.Lines()[i] + "\n";
    shown.push_back(added);
    ignorable.push_back(canIgnore);
    return answer;
  }
  std::vector<std::string> shown;
  std::vector<bool> ignorable;
  EErrorChoice answer = EErrorChoice::kIgnore;
};

std::string ReadFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

class ErrorReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetErrorReporting();
    GameSettings().Reset();
    GameResources().Clear();
    ClearCodeError();
    RunState().gameFolder = dir.path().string();
    fs::remove(LogFile());
    window = FakeWindow();
    inputResets = aborts = 0;
    SetErrorWindow(&window);
    SetErrorHooks({[this] { ++inputResets; }, [this] { ++aborts; }});
    InstallErrorReporting();
    // Objects: 0 obj, 1 empty, 2 wall. Time line 0 tl_intro. Trigger 0 trig.
    Objects().Add(std::make_unique<CObject>(), "obj");
    Objects().Add(nullptr, "");
    Objects().Add(std::make_unique<CObject>(), "wall");
    TimeLines().Add(std::make_unique<CTimeLine>(), "tl_intro");
    Triggers().Add(std::make_unique<CTrigger>(), "trig");
  }
  void TearDown() override {
    SetBuiltinErrorHandler({});
    ResetErrorReporting();
    GameSettings().Reset();
    GameResources().Clear();
    ClearCodeError();
    RunState().gameFolder.clear();
  }
  fs::path LogFile() const { return dir / kErrorLogName; }

  test::ScratchDir dir;
  FakeWindow window;
  int inputResets = 0;
  int aborts = 0;
};

// ---------------------------------------------------------------------------------------------
// The action header

TEST_F(ErrorReportTest, ActionHeaderNamesActionEventAndObject) {
  struct Case {
    REventContext ctx;
    bool fatal;
    const char* expected;
  };
  const Case cases[] = {
      {{0, kEvCreate, 0, 0}, false, "ERROR in\r\naction number 1\r\nof Create Event\r\nfor object obj:\r\n\r\nmsg"},
      {{0, kEvCreate, 0, 0}, true, "FATAL ERROR in\r\naction number 1\r\nof Create Event\r\nfor object obj:\r\n\r\nmsg"},
      {{2, kEvStep, 0, 4}, false, "ERROR in\r\naction number 5\r\nof  Step Event\r\nfor object wall:\r\n\r\nmsg"},
      {{2, kEvStep, 1, 0}, false, "ERROR in\r\naction number 1\r\nof Begin Step Event\r\nfor object wall:\r\n\r\nmsg"},
      {{0, kEvAlarm, 3, 0}, false, "ERROR in\r\naction number 1\r\nof Alarm Event for alarm 3\r\nfor object obj:\r\n\r\nmsg"},
      {{0, kEvKeyboard, 65, 0}, false, "ERROR in\r\naction number 1\r\nof Keyboard Event for A-key Key\r\nfor object obj:\r\n\r\nmsg"},
      {{0, kEvKeyPress, 112, 0}, false, "ERROR in\r\naction number 1\r\nof Key Press Event for F1 Key\r\nfor object obj:\r\n\r\nmsg"},
      {{0, kEvKeyRelease, 100, 0}, false, "ERROR in\r\naction number 1\r\nof Key Release Event for Keypad 4 Key\r\nfor object obj:\r\n\r\nmsg"},
      {{0, kEvCollision, 2, 1}, false, "ERROR in\r\naction number 2\r\nof Collision Event with object wall\r\nfor object obj:\r\n\r\nmsg"},
      {{0, kEvCollision, 1, 0}, false, "ERROR in\r\naction number 1\r\nof Collision Event with object <undefined>\r\nfor object obj:\r\n\r\nmsg"},
      {{0, kEvTrigger, 0, 0}, false, "ERROR in\r\naction number 1\r\nof Trigger Event: trig\r\nfor object obj:\r\n\r\nmsg"},
      {{0, kEvTrigger, 7, 0}, false, "ERROR in\r\naction number 1\r\nof Trigger Event: <Deleted>\r\nfor object obj:\r\n\r\nmsg"},
      {{0, kEvOther, 4, 0}, false, "ERROR in\r\naction number 1\r\nof Other Event: Room Start\r\nfor object obj:\r\n\r\nmsg"},
      {{0, 42, 0, 0}, false, "ERROR in\r\naction number 1\r\nof <Unknown Event>\r\nfor object obj:\r\n\r\nmsg"},
      {{1, kEvDraw, 0, 0}, false, "ERROR in\r\naction number 1\r\nof Draw Event\r\nfor object <undefined>:\r\n\r\nmsg"},
      {{-5, kEvDestroy, 0, 0}, false, "ERROR in\r\naction number 1\r\nof Destroy Event\r\nfor object <undefined>:\r\n\r\nmsg"},
      {{0, kTimeLineEventType, 30, 2}, false, "ERROR in\r\naction number 3\r\nat time step 30\r\nof time line tl_intro:\r\n\r\nmsg"},
      {{9, kTimeLineEventType, 0, 0}, true, "FATAL ERROR in\r\naction number 1\r\nat time step 0\r\nof time line <undefined>:\r\n\r\nmsg"},
  };
  for (const Case& c : cases) {
    CEventContextScope scope(c.ctx);
    EXPECT_EQ(ActionErrorText("msg", c.fatal), c.expected);
  }
}

TEST_F(ErrorReportTest, EventContextScopeRestoresTheOuterContext) {
  EventContext() = {0, kEvStep, 0, 1};
  {
    CEventContextScope inner({2, kEvCreate, 0, 0});
    EXPECT_EQ(EventContext().objectIndex, 2);
  }
  EXPECT_EQ(EventContext().objectIndex, 0);
  EXPECT_EQ(EventContext().eventType, kEvStep);
  EXPECT_EQ(EventContext().actionIndex, 1);
}

// A failed code action (x = y; the first action of obj's Create event) reaches the window and
// the log with the action header, an empty line and the code message with its caret line.
TEST_F(ErrorReportTest, FailedCodeActionShowsHeaderAndCodeMessage) {
  GameSettings().writeErrorLog = true;
  EventContext() = {0, kEvCreate, 0, 0};
  CCode code("x = y;", CodeKind::kProgram);
  ReportCodeError(&code, 5, "Unknown variable y");
  ReportBuiltinError(PendingCodeError(), false);  // what a reported code run does
  ClearCodeError();

  const std::string underscores(43, '_');
  ASSERT_EQ(window.shown.size(), 1u);
  EXPECT_EQ(window.shown[0], "\n" + underscores +
                                 "\nERROR in\naction number 1\nof Create Event\nfor object obj:\n\n"
                                 "Error in code at line 1:\n   x = y;\n      ^\nat position 5: Unknown variable y\n");
  EXPECT_TRUE(window.ignorable[0]);
  const std::string text =
      "ERROR in\r\naction number 1\r\nof Create Event\r\nfor object obj:\r\n\r\n"
      "Error in code at line 1:\r   x = y;\r      ^\rat position 5: Unknown variable y";
  EXPECT_EQ(ErrorState().errorLast, text);
  EXPECT_EQ(ReadFile(LogFile()), text + "\r\n\r\n\r\n");
  EXPECT_FALSE(ErrorTerminating());
}

// ---------------------------------------------------------------------------------------------
// Final handling under the settings

TEST_F(ErrorReportTest, SettingsDecideWindowLogAndEnd) {
  struct Case {
    const char* name;
    bool display, log, abortAll, fatal;
    EErrorChoice answer;
    bool shown, ignorable, logged, ends;
  };
  const auto kI = EErrorChoice::kIgnore, kA = EErrorChoice::kAbort;
  const Case cases[] = {
      {"ignored", true, false, false, false, kI, true, true, false, false},
      {"aborted by the player", true, false, false, false, kA, true, true, false, true},
      {"fatal", true, true, false, true, kI, true, false, true, true},
      {"abort on all errors", true, true, true, false, kI, true, false, true, true},
      {"hidden", false, true, false, false, kA, false, false, true, false},
      {"hidden, fatal", false, false, false, true, kI, false, false, false, true},
      {"hidden, abort on all", false, false, true, false, kI, false, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    GameSettings().displayErrors = c.display;
    GameSettings().writeErrorLog = c.log;
    GameSettings().abortOnAllErrors = c.abortAll;
    window.answer = c.answer;
    HandleError("boom", c.fatal);
    EXPECT_EQ(window.shown.size(), c.shown ? 1u : 0u);
    if (c.shown) {
      EXPECT_EQ(window.ignorable[0], c.ignorable);
    }
    EXPECT_EQ(fs::exists(LogFile()), c.logged);
    EXPECT_EQ(ErrorTerminating(), c.ends);
    EXPECT_EQ(aborts, c.ends ? 1 : 0);
    EXPECT_EQ(inputResets, 1);
    EXPECT_TRUE(ErrorState().errorOccurred);
    EXPECT_EQ(ErrorState().errorLast, "boom");
  }
}

TEST_F(ErrorReportTest, TerminatingDropsLaterErrors) {
  GameSettings().writeErrorLog = true;
  HandleError("first", true);
  ASSERT_TRUE(ErrorTerminating());
  HandleError("second", false);
  ReportActionError("third", true);
  ReportBuiltinError("fourth");
  EXPECT_EQ(window.shown.size(), 1u);
  EXPECT_EQ(aborts, 1);
  EXPECT_EQ(ErrorState().errorLast, "first");
  EXPECT_EQ(ReadFile(LogFile()), "first\r\n\r\n\r\n");
}

// ---------------------------------------------------------------------------------------------
// The log file

TEST_F(ErrorReportTest, FirstLogWriteOfTheRunReplacesTheFileLaterWritesAppend) {
  GameSettings().writeErrorLog = true;
  GameSettings().displayErrors = false;
  test::WriteBytes(LogFile(), {'o', 'l', 'd'});
  HandleError("one\r\nline two", false);
  EXPECT_EQ(ReadFile(LogFile()), "one\r\nline two\r\n\r\n\r\n");
  HandleError("two", false);
  EXPECT_EQ(ReadFile(LogFile()), "one\r\nline two\r\n\r\n\r\ntwo\r\n\r\n\r\n");

  // Errors not logged in between leave the file alone.
  GameSettings().writeErrorLog = false;
  HandleError("three", false);
  EXPECT_EQ(ReadFile(LogFile()), "one\r\nline two\r\n\r\n\r\ntwo\r\n\r\n\r\n");
}

TEST_F(ErrorReportTest, UnwritableLogIsIgnoredAndALaterWriteStillReplaces) {
  GameSettings().writeErrorLog = true;
  fs::path sub = dir / "later";
  RunState().gameFolder = sub.string();  // does not exist yet
  HandleError("lost", false);
  EXPECT_TRUE(ErrorState().errorOccurred);
  EXPECT_TRUE(ErrorState().logNotWritten);

  fs::create_directory(sub);
  test::WriteBytes(sub / kErrorLogName, {'o', 'l', 'd'});
  HandleError("kept", false);
  EXPECT_EQ(ReadFile(sub / kErrorLogName), "kept\r\n\r\n\r\n");
}

TEST_F(ErrorReportTest, LogGoesToTheCurrentDirectoryWithoutAGame) {
  RunState().gameFolder.clear();
  EXPECT_EQ(ErrorLogPath(), "game_errors.log");
  RunState().gameFolder = "/some/game";
  EXPECT_EQ(ErrorLogPath(), "/some/game/game_errors.log");
}

// ---------------------------------------------------------------------------------------------
// The window's list and the headless window

TEST_F(ErrorReportTest, MemoKeepsEveryErrorAndSplitsAtCarriageReturns) {
  HandleError("a\r\nb\rc", false);
  HandleError("d\ne", false);  // a lone line feed is dropped, not a break
  const std::string u(43, '_');
  EXPECT_EQ(ErrorMemo().Lines(), (std::vector<std::string>{"", u, "a", "b", "c", "", u, "de"}));
  EXPECT_EQ(ErrorMemo().Text(), "\n" + u + "\na\nb\nc\n\n" + u + "\nde\n");
  EXPECT_EQ(window.shown[1], "\n" + u + "\nde\n");  // the window learns which lines are new
  ErrorMemo().Clear();
  EXPECT_TRUE(ErrorMemo().Lines().empty());
}

// A game that errs every step in an unattended run must not grow the list without end: whole
// old errors go, the newest always stays and the window still learns where it starts.
TEST_F(ErrorReportTest, MemoDropsTheOldestErrorsBeyondItsLimit) {
  CErrorMemo memo;
  size_t first = 0;
  for (int i = 0; i < 5000; ++i) first = memo.AddError("error " + std::to_string(i));
  EXPECT_LE(memo.Lines().size(), CErrorMemo::kMaxLines);
  EXPECT_EQ(memo.Lines().size() % 3, 0u);  // only whole errors
  EXPECT_EQ(memo.Lines()[0], "");
  EXPECT_EQ(memo.Lines()[1], std::string(43, '_'));
  EXPECT_EQ(first, memo.Lines().size() - 3);
  EXPECT_EQ(memo.Lines().back(), "error 4999");

  std::string huge;
  for (int i = 0; i < 20000; ++i) huge += "l\r";
  first = memo.AddError(huge);
  EXPECT_EQ(first, 0u);
  EXPECT_EQ(memo.Lines().size(), 20003u);
  EXPECT_EQ(memo.AddError("next"), 0u);  // the huge one goes as soon as a newer error comes
  EXPECT_EQ(memo.Lines().size(), 3u);
}

TEST_F(ErrorReportTest, WithoutAWindowErrorsGoToStandardErrorAndNeverBlock) {
  SetErrorWindow(nullptr);
  testing::internal::CaptureStderr();
  HandleError("line one\r\nline two", false);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "\n" + std::string(43, '_') + "\nline one\nline two\n");
  EXPECT_FALSE(ErrorTerminating());  // non-fatal errors are ignored

  testing::internal::CaptureStderr();
  HandleError("fatal one", true);
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(ErrorTerminating());
}

// ---------------------------------------------------------------------------------------------
// Headers of callers that handle code errors themselves

TEST_F(ErrorReportTest, CallerHeadersGoInFrontOfThePendingCodeError) {
  struct Case {
    std::string header;
    bool asAction, fatal;
    std::string expectedStart;
  };
  const Case cases[] = {
      {errhdr::ScriptCompile("scr_move"), false, true, "COMPILATION ERROR in Script: scr_move\rE"},
      {errhdr::kCodeActionCompile, true, true,
       "FATAL ERROR in\r\naction number 1\r\nof Create Event\r\nfor object obj:\r\n\r\n"
       "COMPILATION ERROR in code action\rE"},
      {errhdr::ArgumentCompile(0), true, true, "FATAL ERROR in\r\naction number 1\r\nof Create Event\r\nfor object obj:\r\n\r\nCOMPILATION ERROR in argument 0\rE"},
      {errhdr::TriggerCompile("trig"), false, true, "COMPILATION ERROR in condition of trigger trig\rE"},
      {errhdr::kLibraryCompile, false, true, "COMPILATION ERROR in library initialization code\rE"},
      {errhdr::TriggerRun("trig"), false, false, "ERROR in trigger trig\r\nE"},
      {errhdr::InstanceCreation(true, 100007, "room0"), false, false,
       "COMPILATION ERROR in creation code for instance 100007 in room room0\rE"},
      {errhdr::InstanceCreation(false, 100007, "room0"), false, false,
       "EXECUTION ERROR in creation code for instance 100007 in room room0\rE"},
      {errhdr::RoomCreation(true, "room0"), false, false, "COMPILATION ERROR in creation code of room room0\rE"},
      {errhdr::RoomCreation(false, "room0"), false, false, "EXECUTION ERROR in creation code of room room0\rE"},
      {errhdr::kExecuteString, false, false, "COMPILATION ERROR in string to be executed\rE"},
      {errhdr::kExecuteFile, false, false, "COMPILATION ERROR in file to be executed\rE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    TearDown();
    SetUp();
    EventContext() = {0, kEvCreate, 0, 0};
    CCode code("a = ", CodeKind::kProgram);
    ASSERT_FALSE(code.Compile());
    ASSERT_TRUE(CodeErrorPending());
    const std::string pending = PendingCodeError();
    ASSERT_EQ(pending.rfind("Error in code at line 1:", 0), 0u);
    if (c.asAction)
      ReportPendingCodeErrorAsAction(c.header, c.fatal);
    else
      HandlePendingCodeError(c.header, c.fatal);
    EXPECT_FALSE(CodeErrorPending());
    EXPECT_EQ(ErrorState().errorLast, c.expectedStart.substr(0, c.expectedStart.size() - 1) + pending);
    EXPECT_EQ(ErrorTerminating(), c.fatal);
  }
  // Nothing pending: nothing reported.
  HandlePendingCodeError(errhdr::kExecuteString, false);
  EXPECT_EQ(window.shown.size(), 1u);
}

// ---------------------------------------------------------------------------------------------
// The built-in functions

TEST_F(ErrorReportTest, ShowErrorReportsAnActionErrorFatalFromOneHalf) {
  CFunctionRegistry& reg = BuiltinRegistry();
  const int32_t id = *reg.Find("show_error");
  ASSERT_TRUE(reg.IsImplemented(id));
  EventContext() = {2, kEvStep, 2, 0};
  RValue args[16];
  RValue result;
  args[0] = RValue::String("Bad thing");
  args[1] = RValue::Real(0.49);
  ASSERT_TRUE(reg.Call(id, nullptr, nullptr, 2, args, result));
  EXPECT_EQ(ErrorState().errorLast,
            "ERROR in\r\naction number 1\r\nof End Step Event\r\nfor object wall:\r\n\r\nBad thing");
  EXPECT_FALSE(ErrorTerminating());
  EXPECT_TRUE(window.ignorable.back());

  args[1] = RValue::Real(0.5);
  ASSERT_TRUE(reg.Call(id, nullptr, nullptr, 2, args, result));
  EXPECT_EQ(ErrorState().errorLast.rfind("FATAL ERROR in\r\n", 0), 0u);
  EXPECT_FALSE(window.ignorable.back());
  EXPECT_TRUE(ErrorTerminating());
  EXPECT_EQ(result.kind, ty_real);
  EXPECT_EQ(result.val, 0.0);
}

TEST_F(ErrorReportTest, ShowDebugMessageGivesTheDisplayForm) {
  CFunctionRegistry& reg = BuiltinRegistry();
  const int32_t id = *reg.Find("show_debug_message");
  ASSERT_TRUE(reg.IsImplemented(id));
  std::vector<std::string> got;
  SetDebugMessageSink([&](const std::string& t) { got.push_back(t); });
  for (RValue v : {RValue::String("hello"), RValue::Real(3), RValue::Real(-2), RValue::Real(0.5),
                   RValue::Real(1.0 / 3), RValue::Real(2.675), RValue::Real(-0.0), RValue::Real(1e15),
                   RValue::Real(123456.789), RValue::Real(-1.5), RValue::String(" 1.50 "), RValue::String("")}) {
    RValue args[16], result;
    args[0] = v;
    reg.Call(id, nullptr, nullptr, 1, args, result);
  }
  EXPECT_EQ(got, (std::vector<std::string>{"hello", "3", "-2", "0.50", "0.33", "2.68", "0", "1000000000000000",
                                           "123456.79", "-1.50", " 1.50 ", ""}));

  // Without a debug window: standard output, a line each.
  SetDebugMessageSink(nullptr);
  testing::internal::CaptureStdout();
  RValue args[16], result;
  args[0] = RValue::Real(7);
  reg.Call(id, nullptr, nullptr, 1, args, result);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "7\n");
  EXPECT_FALSE(ErrorState().errorOccurred);
}

}  // namespace
}  // namespace kestro
