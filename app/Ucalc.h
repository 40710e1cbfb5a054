#pragma once

#include <QMenu>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

#include "Company.h"
#include "Printsetup.h"
#include "Rules.h"
#include "Urefund.h"

namespace Ui {
class TFGIS;
}
class QLabel;
class TCurrencyEdit;
class TDateEdit;
class TRadioGroup;

// The main window: quotation type, premium, the two dates, the day count and
// the sixteen result fields of a 12-month and a 6-month policy.
class TFGIS : public QWidget
{
    Q_OBJECT
public:
    explicit TFGIS(QWidget *parent = nullptr);
    ~TFGIS() override;

    // The controls other windows reach by name.
    TCurrencyEdit *Premium() const;
    TDateEdit *DateStart() const;
    TDateEdit *DateEnd() const;
    TCurrencyEdit *NumDays() const;
    QLabel *LCoName() const;
    TRadioGroup *RadioGroup1() const;
    QMenu *PMenu1() const { return m_menu.get(); }
    bool hintsShown() const { return m_showHints; }

public slots:
    // False when a date could not be read: its error has been shown and
    // nothing was written.
    bool DateEndChange();
    void RadioGroup1Click();
    void RadioGroup1Exit();
    void ApplyQuotationType();
    void ApplyMiniHelp();
    void BBPrintClick();
    void BBPrintSetupClick();
    void BitBtn1Click();
    void BitBtn3Click();
    void AboutQuillon1Click();
    void OfficeRules1Click();

protected:
    void FormCreate();
    void FormShow();
    void showEvent(QShowEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenu();
    void wire();
    void showQuote(const quillon::RuledQuote &worked);
    // The office's rules for the quotation type selected: none but the
    // term's for an additional premium.
    quillon::RuleSet quoteRules() const;
    // Which rules figures were worked by: 0 the built-in ones, otherwise the
    // office's rules of m_rulesGeneration.
    int rulesKey(const quillon::RuleSet &rules) const { return rules.isDefault() ? 0 : m_rulesGeneration; }
    // The line under the figures names the office's rules when there are any.
    void showRulesLine();
    // False when a date could not be read (its error has been shown).
    bool bringFiguresUpToDate();

    std::unique_ptr<Ui::TFGIS> ui;
    std::unique_ptr<QMenu> m_menu;
    // The sixteen result fields, in the order of kQuoteFigures.
    std::array<TCurrencyEdit *, 16> m_figureFields{};
    // Chosen in the printer set-up dialog; every later preview opens with it
    // and prints with it.
    PrinterChoice m_printerChoice;

    // What the figures on show were worked from; none before the first
    // calculation, when the start-up zeros stand for no inputs at all.
    struct WorkedInputs
    {
        long double premium;
        int start;
        int end;
        int rules; // rulesKey()
        bool operator==(const WorkedInputs &) const = default;
    };
    std::optional<WorkedInputs> m_worked;
    // What the rules did to the figures on show, for the line under them.
    quillon::RuleOutcome m_outcome;
    int m_rulesGeneration = 1; // raised whenever the office's rules change
    QString m_helpLine;        // the line under the figures as laid out
    int m_helpIndent = 0;
    bool m_shown = false;
    bool m_showHints = true;
};

extern TFGIS *FGIS;
