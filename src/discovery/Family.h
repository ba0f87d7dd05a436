// The database product families. A family's code indexes the per-family
// sequences of the server list and of the monitored set.
#ifndef TAV_DISCOVERY_FAMILY_H
#define TAV_DISCOVERY_FAMILY_H

enum class Family : int {
    None = 0,
    Oracle = 1,
    Sybase = 2,
    MsSql = 3,
    Informix = 4,
    New = 5,  // an entry typed in through "&New"
};

// The sequences a list or set holds, one per code from 0 on.
constexpr int FAMILY_SLOTS = 16;

constexpr int SlotOf(Family family) {
    return static_cast<int>(family);
}
constexpr bool IsFamilySlot(Family family) {
    return SlotOf(family) >= 0 && SlotOf(family) < FAMILY_SLOTS;
}
constexpr Family FamilyAtSlot(int slot) {
    return static_cast<Family>(slot);
}

#endif
