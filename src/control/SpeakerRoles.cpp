#include "control/SpeakerRoles.h"

namespace kavelo {
namespace {

const SpeakerRoleInfo kRoles[25] = {
    {"output_item_empty", "${empty}", "${empty}", 20, 0, 20000, 0, 0, 0},
    {"output_menu_front_left_high_freq", "${tweeter}", "${front_left_tweeter}", 4000, 4, 20000, 0,
     4, 7},
    {"output_menu_front_left_mid_freq", "${midrange}", "${front_left_midrange}", 500, 4, 4000, 4, 2,
     8},
    {"output_menu_front_left_low_freq", "${woofer}", "${front_left_woofer}", 80, 4, 500, 4, 1, 9},
    {"output_menu_front_left_mid_high_freq", "${midrange_tweeter}", "${front_left_mid_twee}", 500,
     4, 20000, 0, 6, 10},
    {"output_menu_front_left_mid_low_freq", "${midrange_woofer}", "${front_left_mid_woof}", 80, 4,
     4000, 4, 3, 11},
    {"output_menu_front_left_all_freq", "${full}", "${front_left_full}", 20, 4, 20000, 0, 7, 12},
    {"output_menu_front_right_high_freq", "${tweeter}", "${front_right_tweeter}", 4000, 4, 20000, 0,
     4, 1},
    {"output_menu_front_right_mid_freq", "${midrange}", "${front_right_midrange}", 500, 4, 4000, 4,
     2, 2},
    {"output_menu_front_right_low_freq", "${woofer}", "${front_right_woofer}", 80, 4, 500, 4, 1, 3},
    {"output_menu_front_right_mid_high_freq", "${midrange_tweeter}", "${front_right_mid_twee}", 500,
     4, 20000, 0, 6, 4},
    {"output_menu_front_right_mid_low_freq", "${midrange_woofer}", "${front_right_mid_woof}", 80, 4,
     4000, 4, 3, 5},
    {"output_menu_front_right_all_freq", "${full}", "${front_right_full}", 20, 4, 20000, 0, 7, 6},
    {"output_menu_rear_left_high_freq", "${tweeter}", "${rear_left_tweeter}", 4000, 4, 20000, 0, 4,
     16},
    {"output_menu_rear_left_low_freq", "${woofer}", "${rear_left_woofer}", 80, 4, 500, 4, 1, 17},
    {"output_menu_rear_left_all_freq", "${full}", "${rear_left_full}", 20, 4, 20000, 0, 7, 18},
    {"output_menu_rear_right_high_freq", "${tweeter}", "${rear_right_tweeter}", 4000, 4, 20000, 0,
     4, 13},
    {"output_menu_rear_right_low_freq", "${woofer}", "${rear_right_woofer}", 80, 4, 500, 4, 1, 14},
    {"output_menu_rear_right_all_freq", "${full}", "${rear_right_full}", 20, 4, 20000, 0, 7, 15},
    {"output_menu_center_high_freq", "${tweeter}", "${center_tweeter}", 4000, 4, 20000, 0, 4, 0},
    {"output_menu_center_low_freq", "${midrange}", "${center_woofer}", 80, 4, 500, 4, 1, 0},
    {"output_menu_center_all_freq", "${full}", "${center_full}", 20, 4, 20000, 0, 7, 0},
    {"output_menu_subwoof_left", "${left_subwoofer}", "${left_subwoofer_freq}", 20, 4, 70, 4, 4,
     23},
    {"output_menu_subwoof_right", "${right_subwoofer}", "${right_subwoofer_freq}", 20, 4, 70, 4, 2,
     22},
    {"output_menu_subwoof_low", "${woofer}", "${subwoofer_freq}", 20, 4, 70, 4, 7, 0},
};

const MenuHeading kHeadings[kMenuHeadings] = {
    {"output_menu_front", "${front}"},       {"output_menu_front_left", "${left}"},
    {"output_menu_front_right", "${right}"}, {"output_menu_rear", "${rear}"},
    {"output_menu_rear_left", "${left}"},    {"output_menu_rear_right", "${right}"},
    {"output_menu_center", "${center}"},     {"output_menu_subwoof", "${subwoofer}"},
};

const InputSourceInfo kSources[9] = {
    {"source_opt", "${source_opt}", 0x51, 2, true, 'A'},
    {"source_coax", "${source_coax}", 0x52, 0, false, 'A'},
    {"source_bt", "${source_bt}", 0x53, 2, true, 'A'},
    {"source_aux", "${source_aux}", 0x54, 2, true, 'A'},
    {"source_low", "${source_low}", 0x55, 0, false, 'B'},
    {"source_hi", "${source_hi}", 0x56, 6, true, 'B'},
    {"source_dmp", "${source_dmp}", 0x57, 2, true, 'A'},
    {"source_udp", "${source_udp}", 0x58, 0, false, 'A'},
    {"source_scp", "${source_scp}", 0x59, 0, false, 'A'},
};

const int kRowA[8] = {1, 2, 1, 2, 3, 3, 1, 2};
const int kRowB[8] = {1, 2, 4, 8, 3, 3, 1, 2};

}  // namespace

const SpeakerRoleInfo& SpeakerRole(int role) {
    return (role >= 0 && role < 25) ? kRoles[role] : kRoles[0];
}

int RolePositionGroup(int role) {
    if (role >= 1 && role <= 6) return 0;
    if (role >= 7 && role <= 12) return 1;
    if (role >= 13 && role <= 15) return 2;
    if (role >= 16 && role <= 18) return 3;
    if (role >= 19 && role <= 21) return 4;
    if (role >= 22 && role <= 24) return 5;
    return -1;
}

const MenuHeading& OutputMenuHeading(int index) {
    return kHeadings[(index >= 0 && index < kMenuHeadings) ? index : 0];
}

const InputSourceInfo* InputSource(int index) {
    return (index >= 0 && index < 9) ? &kSources[index] : nullptr;
}

int InputSourceFromDeviceCode(int code) {
    for (int i = 0; i < 9; ++i) {
        if (kSources[i].deviceCode == code) return i;
    }
    return 4;
}

const int* DefaultRoutingRow(char row) { return row == 'B' ? kRowB : kRowA; }

}  // namespace kavelo
