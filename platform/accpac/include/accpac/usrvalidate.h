#pragma once

#include <QByteArray>

// The user and password check of the platform's API library: 0 when the user ID and the
// password are valid; another value when they are not (see the platform's documentation).
// The user ID is a single-byte text of up to 8 characters (blank-padded on the right), the
// password a single-byte text.
int usrValidate(long handle, const QByteArray& userId, const QByteArray& password);
