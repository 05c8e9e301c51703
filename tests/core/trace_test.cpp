#include "core/trace.h"

#include <gtest/gtest.h>

namespace norvane {
namespace {

TEST(Trace, AreasAreReadFromACommaListAndUnknownNamesAreReported) {
  const unsigned all = ~0u;
  const auto bit = [](TraceArea a) { return static_cast<unsigned>(a); };
  const struct {
    const char* value;
    unsigned areas;
    const char* unknown;
  } cases[] = {
      {"", 0, ""},
      {"1", all, ""},
      {"all", all, ""},
      {"0", 0, "0"},
      {"fetch", bit(TraceArea::Fetch), ""},
      {"fetch,merge", bit(TraceArea::Fetch) | bit(TraceArea::Merge), ""},
      {" router , style ,", bit(TraceArea::Router) | bit(TraceArea::Style), ""},
      {"patrol,nonsense,Fetch", bit(TraceArea::Patrol), "nonsense,Fetch"},
      {"script,1", all, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    std::string unknown;
    EXPECT_EQ(ParseTraceAreas(c.value, &unknown), c.areas);
    EXPECT_EQ(unknown, c.unknown);
  }
}

TEST(Trace, ThePlaceIsTheFunctionWithoutReturnTypeParametersOrNamespace) {
  const struct {
    const char* full;
    const char* place;
  } cases[] = {
      {"std::string norvane::TRSS::Excute()", "TRSS::Excute"},
      {"void norvane::TRThread::Execute(const FeedBuilder&, std::stop_token)", "TRThread::Execute"},
      {"std::map<int, std::string> norvane::{anonymous}::Load(int)", "Load"},
      {"void norvane::(anonymous namespace)::Save(int)", "Save"},
      {"norvane::TDataM::TDataM(Settings)::<lambda(norvane::RouteContext&)>", "TDataM::TDataM"},
      {"main", "main"},
  };
  for (const auto& c : cases) EXPECT_EQ(ShortFunctionName(c.full), c.place) << c.full;
  // The compiler's own spelling of this very test's function names it.
  EXPECT_NE(ShortFunctionName(TracePlace::current().function_name()).find("TestBody"),
            std::string::npos);
}

}  // namespace
}  // namespace norvane
