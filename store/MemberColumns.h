#pragma once

#include "Member.h"

#include <QString>

// The columns a member list shows, in the grid's order, with their captions: the grid and the
// exports both take them from here.
namespace MemberColumns {

enum Column { Id, Name, Gender, Age, Phone, QQ, Mail, Address, Photo, ColumnCount };

// The caption as the grid shows it, its leading blanks included.
QString caption(int column);
// The value of one column as text.
QString text(const Member& member, int column);
// The column of table user it shows.
QString source(int column);

} // namespace MemberColumns
