#pragma once

#include <registry/registry.h>

#include <QString>

// The program's settings store: text values in the registry, read when needed and written
// when changed. None of these report a failure: a missing key or value, or a value that is
// not text, reads as the caller's default, and a failed write is silent.

// Creates the key (or opens it if it exists) and closes it at once.
void Create_RegKey(Registry::HKEY root, const QString& subkey);

// The REG_SZ value valueName of root\subkey, cut at its first NUL character; an empty stored
// value reads as the empty text. Any other outcome gives defaultValue.
QString Read_RegString(Registry::HKEY root, const QString& subkey, const QString& valueName,
                       const QString& defaultValue);

// Stores text as a REG_SZ value (with its terminating NUL), creating the key if needed.
void Save_RegString(Registry::HKEY root, const QString& subkey, const QString& valueName,
                    const QString& text);

// The per-user store: entries addressed by application, section and key, kept in the
// current user's part of the registry under
// HKEY_CURRENT_USER\Software\Norvane\Tallymerge\Program Settings\<application>\<section>.
// An entry that is missing, or an empty application or section, reads as defaultValue.
QString Read_UserSetting(const QString& application, const QString& section, const QString& key,
                         const QString& defaultValue);
void Save_UserSetting(const QString& application, const QString& section, const QString& key,
                      const QString& text);
