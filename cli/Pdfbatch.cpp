#include "Pdfbatch.h"

#include <QPainter>
#include <QIODevice>
#include <QPdfWriter>
#include <memory>

#include "Batch.h"
#include "Csv.h"
#include "Messages.h"
#include "Pdfquote.h"
#include "Quote.h"
#include "Quotefile.h"
#include "Quotepaint.h"
#include "Uprpt.h"

namespace {

const std::string &column(const std::vector<std::string> &fields, std::size_t index)
{
    static const std::string none;
    return index < fields.size() ? fields[index] : none;
}

void rowMessage(std::size_t line, std::string_view message)
{
    std::fprintf(stderr, "quillon-quote: line %zu: %.*s\n", line, int(message.size()), message.data());
}

} // namespace

int RunBatchPdf(std::FILE *in, const std::string &path, const quillon::WriteOptions &destination,
                const LocaleSettings &locale, int today, const CompanyDetails &company, bool progress,
                std::string &error)
{
    CsvReader reader(in);
    BatchProgress shown(progress, in);
    std::vector<std::string> fields;
    BatchColumns columns;
    if (!reader.next(fields) || reader.problem() != CsvReader::Problem::None || !ReadBatchHeader(fields, columns)) {
        error = "line 1: the first line must be the header " + std::string(kBatchInputHeader);
        return kExitUsage;
    }
    int status = kExitOk;
    std::size_t rows = 0;
    std::size_t pages = 0;
    // The name as given, byte for byte: it is the file that was checked.
    const FileWriteResult written = WriteQuoteFileThrough(
        std::filesystem::path(path), [&](QIODevice &file) -> std::optional<QString> {
            QPdfWriter writer(&file);
            writer.setResolution(1200);
            writer.setCreator(QStringLiteral("Quillon"));
            writer.setTitle(QStringLiteral("Quotations"));
            QPageLayout layout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF());
            layout.setMode(QPageLayout::FullPageMode);
            writer.setPageLayout(layout);
            QPainter painter;
            QuotePage page;
            while (reader.next(fields)) {
                ++rows;
                const std::size_t line = reader.line();
                if ((rows & 63) == 0)
                    shown.update(rows, reader.bytesRead());
                std::string problem = RecordProblemMessage(reader);
                if (problem.empty() && fields.size() != columns.count)
                    problem = "Expected " + std::to_string(columns.count) + " fields, found "
                        + std::to_string(fields.size()) + ".";
                const std::string &kind = column(fields, columns.type);
                if (problem.empty() && !kind.empty() && kind != "refund" && kind != "addl")
                    problem = "'" + Messages::QuotedInput(kind) + "' is not a quotation type (refund or addl).";
                QuoteRecord outcome;
                if (problem.empty()) {
                    const QuotationType type =
                        kind == "addl" ? QuotationType::AdditionalPremium : QuotationType::Refund;
                    outcome = MakeQuote({fields[columns.premium], fields[columns.start], fields[columns.end], type},
                                        locale, today);
                    problem = outcome.error;
                }
                if (!problem.empty()) {
                    rowMessage(line, problem);
                    status = kExitRowFailed;
                    continue;
                }
                if (const std::string_view message = Messages::ForRange(outcome.quote.Range); !message.empty())
                    rowMessage(line, message);
                const PolicyEntry policy{column(fields, columns.policyNumber), column(fields, columns.client),
                                         column(fields, columns.policyType)};
                FillQuotePage(page, QuoteTextsFor(outcome, policy, company));
                // The first page comes with the painter; each later one is asked for.
                if (pages == 0) {
                    if (!painter.begin(&writer))
                        return QStringLiteral("The PDF could not be started");
                    painter.scale(writer.logicalDpiX() / 96.0, writer.logicalDpiY() / 96.0);
                } else if (!writer.newPage()) {
                    return QStringLiteral("A page could not be added");
                }
                PaintQuotePage(painter, page);
                ++pages;
                // A full disk ends the batch at once rather than after every
                // page has been drawn for nothing.
                if (!file.isOpen())
                    return file.errorString();
            }
            if (reader.readError())
                return QStringLiteral("The input could not be read");
            if (pages == 0)
                return QStringLiteral("No row could be quoted, so there is no page to write");
            if (!painter.end())
                return QStringLiteral("The PDF could not be finished");
            return std::nullopt;
        },
        destination);
    shown.finish(rows, reader.bytesRead());
    if (!written) {
        error = "cannot write '" + Messages::PrintableText(path) + "': " + written.error.toStdString();
        // With every row refused the rows have said why; the missing file is their outcome.
        return pages == 0 && status == kExitRowFailed ? kExitRowFailed : kExitUsage;
    }
    return status;
}
