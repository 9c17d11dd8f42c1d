// The binding, black box through the loaded DLL and white box through the
// binding's own sources (the slots are not visible from outside).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "host/binding.h"
#include "host/host.h"
#include "testhost/engine_host.h"

using qz::test::EngineHost;
using qz::test::Library;

namespace {

// The engine's table, typed apart from the binding's own list.
const char* const kHostFunctionRows[] = {
#include "tests/host/host_function_rows.inc"
};

}  // namespace

TEST(Binding, ThroughTheDllReturns630AndLooksUpEveryRowInOrder) {
    EngineHost host;
    EXPECT_EQ(host.bind(), 630);
    const auto& names = host.lookups();
    const std::vector<std::string> want(std::begin(kHostFunctionRows), std::end(kHostFunctionRows));
    ASSERT_EQ(want.size(), 431u) << "the test's own table";
    EXPECT_EQ(names.size(), want.size());
    // Row by row, so a fault names its row rather than the whole list.
    for (std::size_t i = 0; i < std::min(names.size(), want.size()); ++i)
        EXPECT_EQ(names[i], want[i]) << "row " << i;
    ASSERT_EQ(names.size(), want.size());
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 429u);
    // The two repeated names are looked up at both of their places.
    EXPECT_EQ(names[91], "effect_local");
    EXPECT_EQ(names[92], "engine_getvar");
    EXPECT_EQ(names[418], "engine_status");
    EXPECT_EQ(names[419], "engine_getvar");
    EXPECT_EQ(names[111], "ent_cloneskin");
    EXPECT_EQ(names[112], "ent_nextlight");
    EXPECT_EQ(names[130], "ent_next");
    EXPECT_EQ(names[131], "ent_nextlight");
    EXPECT_EQ(host.lookup_count("engine_getvar"), 2);
    EXPECT_EQ(host.lookup_count("ent_nextlight"), 2);
}

TEST(Binding, HostAnsweringNullForEveryNameStillGets630) {
    EngineHost silent(EngineHost::Lookup::null_for_all);
    EXPECT_EQ(silent.bind(), 630);
    EXPECT_EQ(silent.lookups().size(), 431u);
    // Rebinding to a working host afterwards works as the first time did.
    EngineHost host;
    EXPECT_EQ(host.bind(), 630);
    EXPECT_EQ(host.lookups().size(), 431u);
}

TEST(Binding, RepeatedBindingsLookUpAgainEachTime) {
    EngineHost host;
    host.bind();
    host.bind();
    EXPECT_EQ(host.lookups().size(), 862u);
    EXPECT_EQ(host.lookup_count("diag"), 2);
}

// White box: the library's binding code compiled into this test.
TEST(BindingSlots, RepeatedNameKeepsTheSecondResult) {
    EngineHost host;
    EXPECT_EQ(qz::host::bind(host.engine_interface()), 630);
    const auto& results = host.lookup_results();
    ASSERT_EQ(results.size(), 431u);
    EXPECT_NE(results[92], results[419]);
    EXPECT_EQ(qz::host::slot(qz::host::Fn::engine_getvar), results[419]);
    EXPECT_EQ(qz::host::slot(qz::host::Fn::ent_nextlight), results[131]);
    EXPECT_EQ(qz::host::slot(qz::host::Fn::_chr), results[0]);
    EXPECT_EQ(qz::host::slot(qz::host::Fn::engine_debugstep), results[430]);
}

TEST(BindingSlots, SecondBindingSwitchesEveryCallToTheSecondHost) {
    EngineHost first;
    EngineHost second;
    first.set_device(reinterpret_cast<void*>(0x1111));
    second.set_device(reinterpret_cast<void*>(0x2222));

    qz::host::bind(first.engine_interface());
    qz::host::diag("\none");
    qz::host::diag_var("\nvalue %f", qz::host::to_number(2));
    EXPECT_EQ(reinterpret_cast<void*>(qz::host::draw_begin()), reinterpret_cast<void*>(0x1111));

    qz::host::bind(second.engine_interface());
    qz::host::diag("\ntwo");
    qz::host::diag_var("\nother %f", qz::host::to_number(-3));
    EXPECT_EQ(reinterpret_cast<void*>(qz::host::draw_begin()), reinterpret_cast<void*>(0x2222));

    ASSERT_EQ(first.diag_calls().size(), 1u);
    EXPECT_EQ(first.diag_calls()[0], "\none");
    ASSERT_EQ(first.diag_var_calls().size(), 1u);
    EXPECT_EQ(first.diag_var_calls()[0].value, 2 * 1024);
    EXPECT_EQ(first.draw_begin_calls(), 1);

    ASSERT_EQ(second.diag_calls().size(), 1u);
    EXPECT_EQ(second.diag_calls()[0], "\ntwo");
    ASSERT_EQ(second.diag_var_calls().size(), 1u);
    EXPECT_EQ(second.diag_var_calls()[0].format, "\nother %f");
    EXPECT_EQ(second.diag_var_calls()[0].value, -3 * 1024);
    EXPECT_EQ(second.draw_begin_calls(), 1);
}

TEST(BindingSlots, NullSlotsAreNotCalled) {
    EngineHost silent(EngineHost::Lookup::null_for_all);
    qz::host::bind(silent.engine_interface());
    qz::host::diag("\nnobody listens");
    qz::host::diag_var("\n%f", 1024);
    EXPECT_EQ(qz::host::draw_begin(), nullptr);
}

TEST(HostNumber, WholeNumbersShiftByTen) {
    EXPECT_EQ(qz::host::to_number(2), 2048);
    EXPECT_EQ(qz::host::to_number(-1), -1024);
    EXPECT_EQ(qz::host::to_number(65535), 65535 * 1024);  // a ramp entry's whole number
    EXPECT_EQ(qz::host::to_number(0x200000), INT32_MIN);  // 2^21 does not fit: the shift wraps
    EXPECT_EQ(qz::host::to_int(-1536), -2);               // arithmetic shift rounds down
    EXPECT_EQ(qz::host::to_int(1535), 1);
    EXPECT_EQ(qz::host::to_int(INT32_MIN), -0x200000);
}

TEST(HostNumber, RealValuesBothWays) {
    EXPECT_DOUBLE_EQ(qz::host::to_double(1536), 1.5);
    EXPECT_DOUBLE_EQ(qz::host::to_double(-1), -1.0 / 1024);
    EXPECT_EQ(qz::host::to_float(1536), 1.5f);
    EXPECT_EQ(qz::host::to_float(10), 10.0f / 1024);  // the smallest gamma set_gamma lifts to 0.01
    EXPECT_EQ(qz::host::to_float(INT32_MAX), 2097152.0f);  // 2^31 - 1 rounds to 2^31 in float
    EXPECT_EQ(qz::host::from_real(1.5), 1536);
    EXPECT_EQ(qz::host::from_real(-0.5), -512);
    EXPECT_EQ(qz::host::from_real(2.2), 2252);        // 2252.8: toward zero
    EXPECT_EQ(qz::host::from_real(-1.0009), -1024);   // -1024.92: toward zero, not down
    EXPECT_EQ(qz::host::from_real(0.0009), 0);
}
