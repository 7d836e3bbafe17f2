#pragma once

#include <gtest/gtest.h>

#include "sim/AmplifierState.h"

namespace kavelo::test {

// An EQ band the virtual amplifier holds, field by field, against the wire form
// of what should have been sent (WireEqBand).
inline void ExpectAmpBand(const AmpEqBand& got, const AmpEqBand& want, int band) {
    EXPECT_EQ(got.frequency, want.frequency) << "band " << band;
    EXPECT_EQ(got.qInteger, want.qInteger) << "band " << band;
    EXPECT_EQ(got.qFraction, want.qFraction) << "band " << band;
    EXPECT_EQ(got.gainInteger, want.gainInteger) << "band " << band;
    EXPECT_EQ(got.gainTenths, want.gainTenths) << "band " << band;
}

}  // namespace kavelo::test
