#pragma once

// The speaker-role and input-source vocabularies.
namespace kavelo {

struct SpeakerRoleInfo {
    const char* menuItem;
    const char* shortText;
    const char* longText;
    int hpFs;
    int hpSlope;
    int lpFs;
    int lpSlope;
    int bandMask;
    int mirror;  // 0 = none
};

// Role 0 ... 24; an index outside that range gives role 0.
const SpeakerRoleInfo& SpeakerRole(int role);

// 0 front left, 1 front right, 2 rear left, 3 rear right, 4 centre,
// 5 subwoofer; -1 for role 0 or an unknown role.
int RolePositionGroup(int role);

struct MenuHeading {
    const char* menuItem;
    const char* shortText;
};
inline constexpr int kMenuHeadings = 8;
const MenuHeading& OutputMenuHeading(int index);

inline constexpr int kDefaultRoles[8] = {6, 12, 15, 18, 19, 20, 22, 23};

struct InputSourceInfo {
    const char* itemName;
    const char* text;
    int deviceCode;
    int channelCount;
    bool visible;
    char routingRow;  // 'A' or 'B'
};

// Source 0 ... 8; nullptr outside.
const InputSourceInfo* InputSource(int index);

// The source index for a device code; unknown codes select index 4.
int InputSourceFromDeviceCode(int code);

// Default `inputs` masks of one routing row for outputs 0 ... 7.
const int* DefaultRoutingRow(char row);

}  // namespace kavelo
