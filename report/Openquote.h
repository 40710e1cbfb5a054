#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include "Pdfpage.h"

// Reading back a saved quote for the preview, so that no file, whatever it
// holds, can hang the program or take its memory: the file is checked
// before it is opened. A quote that carries its page record is drawn again
// from that (Pagerecord.h); any other PDF's page is drawn by quillon-pdfpage
// in a process of its own, under bounds of memory and time (Pdfpage.h),
// where the program was built with Qt Pdf (QUILLON_HAVE_QTPDF).

struct QuoteFileRead
{
    QByteArray bytes;
    QString error; // why nothing was read; empty when the bytes are the file's
};

// The bytes of the regular file at `path` if it holds at most `largest`.
// A folder, a FIFO, a device, an empty or a larger file is refused with a
// sentence saying so, a file that cannot be read with the system's reason.
// Nothing here waits for a writer or reads more than `largest` + 1 bytes.
QuoteFileRead ReadQuoteFile(const QString &path, qint64 largest);

struct PageDrawn
{
    QImage image; // Format_RGB32, the page on white paper; null when not drawn
    QString error; // why it was not, as a sentence to follow "Unable to ...: "
};

// The single page of the quote PDF `pdf`, drawn at `size` by quillon-pdfpage.
// The checks of a quote (a PDF, no password, one Letter page) are the
// helper's; so are their reasons. A drawing that goes past kPageDrawMiB of
// memory or kPageDrawSeconds is stopped and refused. The calling thread's
// event loop runs meanwhile, so the caller must keep its own window from
// starting anything that would interfere. Built without Qt Pdf there is no
// helper, and every PDF is refused with a sentence saying why.
PageDrawn DrawQuotePage(const QByteArray &pdf, const QSize &size);

// Where quillon-pdfpage is looked for: the path given here if any (the tests
// give the build's), else beside the running program (a build tree), else
// in the folder it was installed to.
void SetPageDrawProgram(const QString &path);
QString PageDrawProgram();
