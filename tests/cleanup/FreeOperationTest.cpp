#include "cleanup/FreeOperation.h"

#include <gtest/gtest.h>

TEST(FreeOperation, FinalStatusFollowsCancelFailuresAndWorkDone) {
  struct Case { bool cancelled, done, failure; TOpStatus want; };
  const Case cases[] = {
      {false, true, false, TOpStatus::Done},      {false, false, false, TOpStatus::Done},
      {false, true, true, TOpStatus::PartlyDone}, {false, false, true, TOpStatus::Failed},
      {true, true, false, TOpStatus::Cancelled},  {true, false, true, TOpStatus::Cancelled},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FinalStatus(c.cancelled, c.done, c.failure), c.want)
        << c.cancelled << c.done << c.failure;
}

TEST(FreeOperation, ContextWithoutCallbacksAnswersNoAndCancelSticks) {
  TOpContext context;
  EXPECT_EQ(context.Ask({}), TOpAnswer::No);
  context.Progress({});  // no callback: nothing happens
  EXPECT_FALSE(context.Cancelled());
  context.Cancel();
  EXPECT_TRUE(context.Cancelled());
}
