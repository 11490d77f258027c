#pragma once

// The adapter library's own messages (why a programmer cannot be used, a
// link that broke), for the log. Our library offers them through the
// optional export "xrusb_message"; a library without it has none.

#include <QStringList>

namespace Usb {

// The messages not yet taken, oldest first. Any thread.
QStringList TakeMessages();

} // namespace Usb
