#include "CliUsage.h"

namespace kavelo::cli {

const char* UsageText() {
    return R"(Usage: kavelo-cli [OPTION]... COMMAND [ARG]...
Talk to the TRQ5.40AMP amplifier without a window: the device side of the
Kavelo DSP tuning application, for scripts and the workbench.

options:
  --demo          talk to the virtual amplifier (the application's demo mode,
                  with the same state file)
  --device        talk to the amplifier on USB (0483:5750), the default
  --trace         print every report written ("> ") and read ("< ") as hex on
                  standard error, one per line
  --log           echo the diagnostic log on standard error (it is written to
                  save.log when the current folder holds savelog.ini; standard
                  output carries only the result)
  --timeout MS    wait at most MS milliseconds for any reply
  -h, --help      display this help and exit
      --version   output version information and exit

commands:
  info                          model, firmware versions, loader mode, current
                                scene, valid scenes and their names
  dump [-o FILE.spf]            read the whole live state back and print it as a
                                scene profile (.spf) or write it to FILE
  dump --whole -o FILE.wpf      also read the ten stored scenes and their names
                                and write a whole-configuration profile
  apply FILE.spf|FILE.wpf       write a profile into the amplifier with the
                                application's command sequences, read it back
                                and report every field that differs; like the
                                application it does not send link mode, lock
                                or the subwoofer volume, and notes where the
                                amplifier's link or lock differs from the file
  scene load N                  copy stored scene N (1 ... 10) into the live
                                settings
  scene save N [--name NAME]    store the live settings as scene N, optionally
                                naming it (at most 16 bytes of UTF-8)
  scene delete N                delete stored scene N
  source N                      switch the input source: 0 optical, 1 coaxial,
                                2 Bluetooth, 3 AUX, 4 low level, 5 high level,
                                6 DMP, 7 UDP, 8 SCP
  volume P                      set the main volume slider position P (0 ... 40;
                                0 is off, 40 is +6 dB)
  response FILE.spf --channel N [--csv]
                                print output N's (1 ... 8) 512-point magnitude
                                response (frequency in Hz, level in dB)
  eq import FILE --channel N   take the peaking filters of a REW "Filter
                                Settings" export or an Equalizer APO
                                configuration into output N (1 ... 8) as the
                                application's band edits do (link partner,
                                bypass rule), flattening its other bands; each
                                refused or limited filter (shelves, notches,
                                values out of range, beyond 31) is reported
                                with its line; a decimal comma is accepted
  eq export --channel N [-o FILE] [--format rew|apo]
                                write output N's active bands (enabled, with
                                gain; none while its EQ is bypassed) as REW
                                filter settings (the default) or Equalizer APO
                                lines
  diff A B                      compare two setups, each a .spf or .wpf file or
                                amp (the amplifier's live state); prints the
                                differing fields by output and band; exit 0
                                when equal, 1 when different, 2 or 3 on
                                trouble (amplifier, refused file or arguments)
  fw check FILE                 recognise an upgrade file by its name and run
                                every check; the exit code is the check's
                                result (0 valid, 1 cannot be opened, 2 invalid)
  fw flash FILE                 upgrade the amplifier's firmware from FILE
  mem read ADDR                 read one 32-bit word of DSP memory
  mem write ADDR VALUE          write one word and read it back
                                (numbers: 0x1F hexadecimal, 017 octal, 31
                                decimal; the leading digits count)

exit codes (except fw check and diff):
  0 success, 1 usage, 2 amplifier absent or not answering, 3 refused input
  (bad file, wrong model), 4 the amplifier refused or did not apply a request.
Errors are one line on standard error; progress of long operations goes to
standard error when it is a terminal.
)";
}

}  // namespace kavelo::cli
