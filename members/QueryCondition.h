#pragma once

#include "Listing.h"

#include <QString>

// The one detail field a query searches on, and the listing it gives.
namespace QueryCondition {

enum class Field { Name, Phone, Id, QQ, Age, Mail, Address, Gender };

// Exact equality for every field but the address, which matches as a substring; '%' and '_'
// typed by the operator keep their wildcard meaning. Results come in ascending id order.
Listing listingFor(Field field, const QString& text);

// Blank-trimmed the way the condition count trims: spaces only, tabs and line breaks stay.
QString trimSpaces(const QString& text);

// The address pattern can use the trigram index only when every literal run between wildcards
// is at least three characters long; shorter runs make that index answer wrongly.
bool trigramUsable(const QString& typed);

} // namespace QueryCondition
