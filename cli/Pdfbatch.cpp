#include "Pdfbatch.h"

#include <QPainter>
#include <QIODevice>
#include <QPdfWriter>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "Batch.h"
#include "Messages.h"
#include "Pdfquote.h"
#include "Quote.h"
#include "Quotefile.h"
#include "Quoterules.h"
#include "Quotepaint.h"
#include "Uprpt.h"

using namespace quillon;

namespace {

void rowMessage(std::size_t line, std::string_view message)
{
    std::fprintf(stderr, "quillon-quote: line %zu: %.*s\n", line, int(message.size()), message.data());
}

// A page per quoted row, painted in input order on this thread (painting
// needs the GUI thread); a row that cannot be quoted, or is out of range,
// says so on standard error.
class PageSink : public BatchSink
{
public:
    PageSink(QPdfWriter &writer, const QIODevice &file, const BatchColumns &columns, const CompanyDetails &company,
             const LocaleSettings &locale)
        : m_writer(writer), m_file(file), m_columns(columns), m_company(company), m_locale(locale)
    {
    }

    bool keepsQuotes() const override { return true; }

    bool write(const BatchChunk &chunk) override
    {
        for (std::size_t i = 0; i < chunk.rows.size(); ++i)
            if (!page(chunk.fields, chunk.rows[i], chunk.quotes[i]))
                return false;
        return true;
    }

    // Ends the document; the reason when it could not be.
    std::optional<QString> finish()
    {
        if (m_pages == 0)
            return QStringLiteral("No row could be quoted, so there is no page to write");
        if (!m_painter.end())
            return QStringLiteral("The PDF could not be finished");
        return std::nullopt;
    }

    std::size_t pages() const { return m_pages; }
    // Why write() stopped the batch.
    const QString &error() const { return m_error; }

private:
    bool page(const CsvFields &fields, const BatchRow &row, const QuoteRecord &quote)
    {
        if (!quote.ok()) {
            rowMessage(row.line, quote.error);
            return true;
        }
        if (const std::string_view message = QuoteRangeMessage(quote); !message.empty())
            rowMessage(row.line, message);
        // Typed in the locale's character set, as the row's premium and dates may be.
        const auto typed = [&](std::size_t column) {
            std::string converted;
            return std::string(TypedText(m_columns.text(fields, row, column), m_locale, converted));
        };
        const PolicyEntry policy{typed(m_columns.policyNumber), typed(m_columns.client), typed(m_columns.policyType)};
        FillQuotePage(m_page, QuoteTextsFor(quote, policy, m_company, &row.rules, &m_locale));
        // The first page comes with the painter; each later one is asked for.
        if (m_pages == 0) {
            if (!BeginQuotePainting(m_painter, m_writer))
                return stop(QStringLiteral("The PDF could not be started"));
        } else if (!m_writer.newPage()) {
            return stop(QStringLiteral("A page could not be added"));
        }
        PaintQuotePage(m_painter, m_page);
        ++m_pages;
        // A full disk ends the batch at once rather than after every page
        // has been drawn for nothing.
        if (!m_file.isOpen())
            return stop(m_file.errorString());
        return true;
    }

    bool stop(const QString &error)
    {
        m_error = error;
        return false;
    }

    QPdfWriter &m_writer;
    const QIODevice &m_file;
    const BatchColumns &m_columns;
    const CompanyDetails &m_company;
    const LocaleSettings &m_locale;
    QPainter m_painter;
    QuotePage m_page;
    std::size_t m_pages = 0;
    QString m_error;
};

} // namespace

int RunBatchPdf(std::FILE *in, const std::string &path, const quillon::WriteOptions &destination,
                const LocaleSettings &locale, int today, const CompanyDetails &company, bool progress,
                std::string &error, const RuleSet *officeRules)
{
    BatchRules rules;
    rules.fieldCountNamesColumns = false;
    rules.readType = true;
    BatchReader reader(in, rules);
    BatchProgress shown(progress, in);
    // Without a row there is no page, so no input is as wrong as no header.
    if (reader.readHeader() != BatchReader::Header::Read) {
        error = reader.headerMessage();
        return kExitUsage;
    }
    BatchRun run;
    std::size_t pages = 0;
    // The name as given, byte for byte: it is the file that was checked.
    const FileWriteResult written = WriteQuoteFileThrough(
        quillon::PathFromBytes(path), [&](QIODevice &file) -> std::optional<QString> {
            // Set up as a saved quote is, so that each page is drawn as one.
            QPdfWriter writer(&file);
            SetUpQuotePdf(writer, QStringLiteral("Quotations"));
            PageSink sink(writer, file, reader.columns(), company, locale);
            // One job: a page takes thousands of times longer to paint than its row to quote.
            static const RuleSet builtIn;
            const RuleSet *rowRules = officeRules ? officeRules : reader.columns().hasRuleColumn() ? &builtIn : nullptr;
            run = QuoteRows(reader, sink, locale, today, 1, shown, rowRules);
            pages = sink.pages();
            if (run.stopped)
                return sink.error();
            if (reader.readError())
                return QStringLiteral("The input could not be read: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(run.readErrno != 0 ? run.readErrno : EIO)));
            return sink.finish();
        },
        destination);
    shown.finish(run.rows, reader.bytesRead());
    const int status = run.rowFailed ? kExitRowFailed : kExitOk;
    // With every row refused the rows have said why; what is left to say is
    // that there is no new file, so that one left from before is not taken
    // for this batch's: no output is a failure of the whole run.
    if (!written && pages == 0 && status == kExitRowFailed) {
        error = "'" + Messages::PrintableText(path) + "' was not written: no row could be quoted";
        return kExitUsage;
    }
    if (!written) {
        error = "cannot write '" + Messages::PrintableText(path) + "': " + written.error.toStdString();
        return kExitUsage;
    }
    if (!written.warning.isEmpty())
        std::fprintf(stderr, "quillon-quote: %s\n", written.warning.toLocal8Bit().constData());
    return status;
}
