#include "control/Conversions.h"

#include <cmath>
#include <cstdlib>

#include "control/DspRecords.h"
#include "device/DspEncoding.h"

namespace kavelo {

int OutputGainToSlider(float gainDb) { return static_cast<int>(std::lround(gainDb * 10.0f)); }

float OutputGainToSent(float gainDb) { return 0.0f - gainDb; }

double MainVolumeDb(int position) {
    if (position <= 0) return -60.0;
    if (position >= kMaxMainVolume) return 6.0;
    return 41.25 * std::log10(static_cast<double>(position)) - 60.0;
}

double MainVolumeSent(int position) { return 6.0 - MainVolumeDb(position); }

int MainVolumeFromReported(double value) {
    if (!std::isfinite(value)) return 0;
    const double p = std::floor(std::pow(10.0, (value + 60.0) / 41.25));
    if (!(p >= 0.0)) return 0;
    if (p > kMaxMainVolume) return kMaxMainVolume;
    return static_cast<int>(p);
}

int DelayToSlider(float ms) { return DelayMicroseconds(ms); }

float QuantiseDelay(double ms) {
    if (!(ms > 0.0)) return 0.0f;
    if (ms > kMaxDelayMs) ms = kMaxDelayMs;
    return static_cast<float>(DelayMicroseconds(static_cast<float>(ms)) / 1000.0);
}

double DelayShown(float ms, DelayUnit unit) {
    const double us = DelayMicroseconds(ms);
    switch (unit) {
        case DelayUnit::Cm:
            return us * 519.0 / 15.0 / 1000.0;
        case DelayUnit::In:
            return us * 204.0 / 15.0 / 1000.0;
        case DelayUnit::Ms:
        default:
            return us / 1000.0;
    }
}

float DelayFromTyped(double value, DelayUnit unit) {
    if (!std::isfinite(value) || value < 0.0) value = 0.0;
    double ms = value;
    if (unit == DelayUnit::Cm) ms = value * 15.0 / 519.0;
    if (unit == DelayUnit::In) ms = value * 15.0 / 204.0;
    return QuantiseDelay(ms);
}

int FrequencyStep(int freq, bool up) {
    const double lo = std::log10(static_cast<double>(kMinFrequency));
    const double span = std::log10(static_cast<double>(kMaxFrequency)) - lo;
    const double f = freq > 0 ? freq : kMinFrequency;
    const int position = static_cast<int>(std::floor((std::log10(f) - lo) * 200.0 / span));
    int result = freq;
    for (int step = 1; step <= 2; ++step) {
        int p = up ? position + step : position - step;
        if (p > 200) p = 200;
        if (p < 0) p = 0;
        result = static_cast<int>(std::lround(std::pow(10.0, lo + span * p / 200.0)));
        if (result != freq) break;
    }
    return result;
}

}  // namespace kavelo
