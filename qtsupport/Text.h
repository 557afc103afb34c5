#pragma once

#include <QString>

#include <string>

#include <qtsupport/QtSupportExport.h>

namespace varno::qtsupport {

// Texts held as bytes (instrument and file texts): UTF-8 when the bytes are valid UTF-8,
// else Latin-1, as older instruments and station files write them.
QTSUPPORT_API QString textFromBytes(const std::string& bytes);
// Texts typed into the windows go back as UTF-8.
QTSUPPORT_API std::string bytesFromText(const QString& text);
// A file path for the byte-string interfaces of the libraries (local file-name encoding).
QTSUPPORT_API std::string pathBytes(const QString& path);
QTSUPPORT_API QString pathFromBytes(const std::string& path);
// Message texts use "\r\n" line ends; windows show them as "\n".
QTSUPPORT_API QString displayText(QString text);
// "Desc (*.a)|*.a|All Files (*.*)|*.*||" as "Desc (*.a);;All Files (*)"; a filter
// without "|" is returned unchanged.
QTSUPPORT_API QString qtFileFilter(const QString& filter);

} // namespace varno::qtsupport
