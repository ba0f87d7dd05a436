// The names of the families and the discovery of each.
#include "discovery/Discovery.h"

#include <cstring>

namespace {

struct Product {
    const char* keyword;
    Family family;
};

// The installer names the family by one of these keywords.
const Product PRODUCTS[] = {
    {"ora", Family::Oracle},        {"oracle", Family::Oracle}, {"tuo", Family::Oracle},
    {"syb", Family::Sybase},        {"sybase", Family::Sybase}, {"tus", Family::Sybase},
    {"sql", Family::MsSql},         {"tum", Family::MsSql},     {"mssql", Family::MsSql},
    {"informix", Family::Informix}, {"tui", Family::Informix},  {"ifx", Family::Informix},
};

struct FamilyNames {
    Family family;
    const char* keyword;
    const char* title;
    DiscoverFunction discover;
};

const FamilyNames FAMILY_NAMES[] = {
    {Family::Oracle, "oracle", "Oracle", DiscoverOracle},
    {Family::Sybase, "sybase", "Sybase", DiscoverSybase},
    {Family::MsSql, "mssql", "Microsoft SQL Server", DiscoverMsSql},
    {Family::Informix, "informix", "Informix", DiscoverInformix},
};

const FamilyNames* NamesOf(Family family) {
    for (const FamilyNames& names : FAMILY_NAMES)
        if (names.family == family)
            return &names;
    return nullptr;
}

}  // namespace

const char* FamilyKeyword(Family family) {
    const FamilyNames* names = NamesOf(family);
    return names ? names->keyword : nullptr;
}

const char* FamilyTitle(Family family) {
    const FamilyNames* names = NamesOf(family);
    return names ? names->title : nullptr;
}

DiscoverFunction DiscoveryOf(Family family) {
    const FamilyNames* names = NamesOf(family);
    return names ? names->discover : nullptr;
}

Family FamilyOfProduct(const char* keyword) {
    if (keyword == nullptr)
        return Family::None;
    for (const Product& product : PRODUCTS)
        if (std::strcmp(product.keyword, keyword) == 0)
            return product.family;
    return Family::None;
}
