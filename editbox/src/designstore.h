#pragma once

#include "localesource.h"
#include "propertybag.h"

#include <vrexeditbox/vrexeditbox.h>

#include <QDate>

// Private interface of the library for its tests and tools: saving and loading a box's
// design through a property bag, the locale source every box reads, and the boxes' clock.
// Not installed; no compatibility promise.
namespace vrex {

// Writes the stored names with their defaults (nothing for a value equal to its default;
// BackColor_Normal as "BackColor_LostFocus").
VREXEDITBOX_EXPORT void writeProperties(const VrexEditbox& box, VrexPropertyBag& bag);
// Reads them in the fixed order and finally, when UseDefaultText is set, puts DefaultText in
// place of the saved text.
VREXEDITBOX_EXPORT void readProperties(VrexEditbox& box, const VrexPropertyBag& bag);

// Where every box reads the user's locale at focus gain (null: VrexEditbox::setUserLocale's
// locale). The source must outlive the boxes.
VREXEDITBOX_EXPORT void setLocaleSource(const VrexLocaleSource* source);

// Today's date as the boxes see it (VrexEditbox::setClock).
VREXEDITBOX_EXPORT QDate today();

} // namespace vrex
