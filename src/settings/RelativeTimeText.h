#pragma once

#include <QString>

// How long ago (or how far ahead) a moment lies, in plain English words with
// the unit written out: "1 minute ago", "2 hours ago", "in 3 days". The
// largest whole unit that fits is used and the rest dropped, so 119 minutes
// read "1 hour ago". Months count 30 days and years 365. Always English and
// free of the user's locale, so the caption reads the same on every machine.
namespace RelativeTimeText {

// seconds is now minus the moment: positive for the past, negative for the
// future. Less than one second either way reads "0 seconds ago".
QString since(double seconds);

} // namespace RelativeTimeText
