#pragma once

#include <QString>

// The text of a PDF file as pdftotext reads it (layout kept, pages parted by form feeds);
// empty when it cannot be read.
QString pdfText(const QString& file);
// The number of pages of a PDF file, as pdfinfo reads it.
int pdfPages(const QString& file);
