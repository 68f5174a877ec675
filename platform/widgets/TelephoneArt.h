#pragma once

#include <QIcon>
#include <QPixmap>

// The program's pictures, drawn rather than loaded: a red desk telephone.
namespace TelephoneArt {

// The window icon, in 32 × 32 and 16 × 16.
QIcon ProgramIcon();

// The dial buttons' 16 × 16 telephone, with its greyed variant for the
// disabled state, as one icon.
QIcon DialButtonIcon();

// One image of the telephone at the given size; greyed for disabled.
QPixmap Telephone(int size, bool greyed);

} // namespace TelephoneArt
