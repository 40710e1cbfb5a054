#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "Uprpt.h"

// A quote saved by this program carries its own page: every label's text and
// whether it prints, as a small text file embedded in the PDF. Open draws
// that page again through PaintQuotePage (Quotepaint.h), so a saved quote
// opens and prints the same on every system, with no general PDF renderer.
//
// The record is UTF-8 with a line feed ending each line:
//
//     Quillon quote page record 2
//     +CoName=Harbour Office
//     -QRNA1=This Section not applicable for Additional Premiums
//     ...
//     end
//
// The first line names the format and its version. Then one line for each
// label of the page, "+" for one that prints and "-" for one switched off,
// its name, "=", and its text, in which a backslash is written "\\", a line
// feed "\n" and a carriage return "\r"; every label of the record's version
// appears exactly once. The layout itself (places, faces, shapes) is the
// program's and is not recorded: a version that changes it must raise the
// record's version. Version 2 added the office rules line, QRRules; a page
// with that line off and empty is written as version 1, byte for byte as
// before, and a version 1 record opens with the line off and empty.
//
// In the PDF the record is the file kPageRecordName in the catalog's
// /Names /EmbeddedFiles, an uncompressed stream added after QPdfWriter's
// output as an incremental update (a new catalog, cross-reference section
// and trailer with /Prev), so the PDF stays valid for any reader.

inline constexpr char kPageRecordName[] = "quillon-quote-page.txt";

// Bounds of a record: the whole, and one label's text in UTF-8. A quote's
// record is about 3 kB; a text longer than a page's width is drawn cut short
// long before its 4096th byte.
inline constexpr qsizetype kLargestPageRecord = 64 * 1024;
inline constexpr qsizetype kLargestRecordText = 4096;

// The record of `page`, or nothing when it cannot hold the page as it is: a
// text over kLargestRecordText bytes or not valid Unicode.
std::optional<QByteArray> QuotePageRecord(const QuotePage &page);

// `pdf`, a PDF as QPdfWriter writes it, with the record of `page` embedded.
// A page without a record, or a PDF not laid out as QPdfWriter lays it out,
// is returned unchanged: the page is what the file is for.
QByteArray WithQuotePageRecord(const QByteArray &pdf, const QuotePage &page);

struct PageRecordRead
{
    bool found = false; // the file has a record, sound or not
    QuotePage page;     // the page drawn again from it
    QString error;      // why a record found is refused, a sentence to follow "Unable to ...: "
};

// The page recorded in the PDF `pdf`. Only the record is looked at, found by
// its stream's first line, and at most kLargestPageRecord bytes of it: one
// truncated, oversized or malformed, of an unknown version, with a text too
// long or not UTF-8, or one that does not name each label of the page once
// is refused whole, never drawn in part.
PageRecordRead ReadQuotePageRecord(const QByteArray &pdf);
