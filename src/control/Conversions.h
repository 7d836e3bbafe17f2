#pragma once

#include <string>

// Conversions between the values shown, stored in the model and sent.
namespace kavelo {

// Output gain slider position (gain x 10) and the value `Trim_Ctrl` sends.
int OutputGainToSlider(float gainDb);
float OutputGainToSent(float gainDb);

// Main volume in dB for slider position p (0 ... 40). The minimum position
// shows "off" and means -60 dB (log10 of 0 has no finite value).
double MainVolumeDb(int position);
// The value `Main_Volume_Ctrl` sends: 6 - dB(p).
double MainVolumeSent(int position);
// Position for a reported `DSP_VOLUME` value, limited to 0 ... 40.
int MainVolumeFromReported(double value);

enum class DelayUnit { Ms = 0, Cm = 1, In = 2 };
int DelayToSlider(float ms);  // microseconds
// A delay as the amplifier holds it: whole microseconds within 0 ... 15 ms. Every delay
// entering the model goes through here, so the screen, the bytes and the read-back agree.
float QuantiseDelay(double ms);
// The number shown in the given unit, from the microseconds the amplifier gets.
double DelayShown(float ms, DelayUnit unit);
// A typed number in the given unit to ms (quantised); negatives count as 0, limit 15 ms.
float DelayFromTyped(double value, DelayUnit unit);

// One logarithmic up/down step of the frequency buttons (200 steps over
// 20 ... 20000 Hz).
int FrequencyStep(int freq, bool up);

}  // namespace kavelo
