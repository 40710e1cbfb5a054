#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "Rules.h"

namespace Ui {
class TFRules;
}

// The office rules dialog: the office's short-rate rule (the built-in
// tables, a share of pro rata, or a table file) and its minimum earned
// premium, saved into the settings file and held in OfficeRules. A rule that
// cannot be read, a table file refused included, is shown with its reason
// and nothing is saved; so is a save that fails. Enter saves, Escape
// cancels. Created for one use by its caller, which destroys it.
class TFRules : public QDialog
{
    Q_OBJECT
public:
    explicit TFRules(QWidget *owner);
    ~TFRules() override;

public slots:
    void BitBtn2Click();
    void BBrowseClick();

private:
    void FormActivate();
    // The rules the controls say, or nothing once the reason for refusing
    // them has been shown.
    std::optional<quillon::RuleSet> controlRules() const;

    std::unique_ptr<Ui::TFRules> ui;
    quillon::RuleSet m_opened; // as held when the dialog opened
};
