#include "shell/runtime.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_window_system.h"
#include "shell/program.h"

namespace mc {
namespace {

std::vector<std::string> ranEndRoutines;
void FirstEndRoutine() { ranEndRoutines.push_back("first"); }
void SecondEndRoutine() { ranEndRoutines.push_back("second"); }

class RunTimeTest : public ::testing::Test {
 protected:
  void SetUp() override { ranEndRoutines.clear(); }
  FakeRunTime fake;
  FakeWindowSystem& system = fake.system;
  RunTime& runTime = fake.runTime;
};

TEST_F(RunTimeTest, EndRoutinesRunOnceInRegistrationOrderWithoutDuplicates) {
  runTime.RegisterEndRoutine(&FirstEndRoutine);
  runTime.RegisterEndRoutine(&SecondEndRoutine);
  runTime.RegisterEndRoutine(&FirstEndRoutine);
  EXPECT_EQ(runTime.EndRoutineCount(), 2u);
  runTime.ShutDown();
  EXPECT_EQ(ranEndRoutines, (std::vector<std::string>{"first", "second"}));
  runTime.ShutDown();  // the list was emptied
  EXPECT_EQ(ranEndRoutines.size(), 2u);
}

TEST_F(RunTimeTest, StartProgramLoadsTheMainWindowRunsTheLoopAndEndsWithZero) {
  EXPECT_EQ(StartProgram(), 0);
  EXPECT_EQ(system.calls, (std::vector<std::string>{"create 1375797249", "loop", "quit 0"}));
  EXPECT_TRUE(runTime.LoopEntered());
  EXPECT_EQ(runTime.OpenWindowCount(), 0u);
  EXPECT_EQ(runTime.ShutDown(), 0);
}

TEST_F(RunTimeTest, QuitIsPostedOnlyForTheLastWindowAndOnlyOnceTheLoopWasEntered) {
  runTime.WindowOpened(1);
  runTime.WindowDestroyed(1);  // before the loop: no quit request
  EXPECT_TRUE(system.postedQuits.empty());

  system.runTime = nullptr;  // keep the loop from closing anything itself
  runTime.WindowOpened(1);
  runTime.WindowOpened(2);
  runTime.RunEventLoop();
  runTime.WindowDestroyed(1);
  EXPECT_TRUE(system.postedQuits.empty());
  runTime.WindowDestroyed(2);
  EXPECT_EQ(system.postedQuits, (std::vector<int>{0}));
}

TEST_F(RunTimeTest, EventLoopReturnsAtOnceWhenNoWindowIsOpen) {
  runTime.RunEventLoop();
  EXPECT_TRUE(runTime.LoopEntered());
  EXPECT_TRUE(system.calls.empty());
}

TEST_F(RunTimeTest, MainWindowBindsCreatedAndClickRoutines) {
  const WindowDescription& window = *FindWindowDescription(kMainWindowId);
  EXPECT_EQ(window.units[0].created, &OnMainWindowCreated);
  EXPECT_EQ(FindUnit(window, kButton1Id)->click, &CollectCodes);
  for (std::size_t i = 1; i < window.unitCount; ++i) {
    if (window.units[i].id != kButton1Id) {
      EXPECT_EQ(window.units[i].click, nullptr) << window.units[i].name;
    }
  }
}

TEST_F(RunTimeTest, SetControlTextWritesAbsentTextAsEmpty) {
  runTime.SetControlText(kMainWindowId, kEditBox2Id, nullptr);
  runTime.SetControlText(kMainWindowId, kEditBox1Id, "00-11-22-33-44-55");
  ASSERT_EQ(system.textWrites.size(), 2u);
  EXPECT_EQ(system.textWrites[0].text, "");
  EXPECT_EQ(system.textWrites[1].controlId, kEditBox1Id);
  EXPECT_EQ(system.textWrites[1].text, "00-11-22-33-44-55");
}

// The fatal paths: the exact message, exit code -1, and the end routines dropped rather than run.
struct FatalCase {
  const char* name;
  void (*provoke)(FakeRunTime&);
  std::string message;
};

const FatalCase kFatalCases[] = {
    {"main window cannot be created",
     [](FakeRunTime& f) {
       f.system.createSucceeds = false;
       StartProgram();
     },
     "载入启动窗口失败"},
    {"no such window description", [](FakeRunTime& f) { f.runTime.LoadWindow(0x52010002); },
     "载入启动窗口失败"},
    {"memory for a text runs out",
     [](FakeRunTime& f) {
       f.system.failAllocationAt = f.system.allocationCount;
       Text text(40, 'x');
     },
     "分配 41 字节内存失败!"},
    {"memory for the end-routine list runs out during start-up",
     [](FakeRunTime& f) {
       f.system.failAllocationAt = f.system.allocationCount;
       StartProgram();  // registering its end routine grows the list from one entry to two
     },
     "分配 " + std::to_string(2 * sizeof(EndRoutine)) + " 字节内存失败!"},
};

TEST_F(RunTimeTest, FatalErrorsShowTheirMessageAndEndWithMinusOneWithoutEndRoutines) {
  for (const FatalCase& c : kFatalCases) {
    FakeRunTime local;
    ranEndRoutines.clear();
    local.runTime.RegisterEndRoutine(&FirstEndRoutine);
    int exitCode = 0;
    try {
      c.provoke(local);
      ADD_FAILURE() << c.name << ": the process did not end";
    } catch (const ProcessEnded& ended) {
      exitCode = ended.exitCode;
    }
    EXPECT_EQ(exitCode, -1) << c.name;
    EXPECT_EQ(local.system.fatalMessages, (std::vector<std::string>{c.message})) << c.name;
    local.runTime.ShutDown();
    EXPECT_TRUE(ranEndRoutines.empty()) << c.name;
  }
}

}  // namespace
}  // namespace mc
