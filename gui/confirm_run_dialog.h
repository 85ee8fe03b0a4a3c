// The question "Transformar" asks before it changes anything: what the plan
// just made says a run would do (how many databases would be updated, left
// as they are, copied, skipped, and what would be refused), a warning when
// the data folder holds no old database with a model (the run would only
// copy models into it), and "Copia de seguridad" with its folder. Only
// "Transformar" in the dialog starts the run; "Cancelar" changes nothing.
// Reads the state's report and journal once, when made.
#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;

namespace brenquil {

class Actualiz;

namespace gui {

class ConfirmRunDialog : public QDialog {
 public:
  // `backup` and `folder`: "Copia de seguridad" as the window has it.
  ConfirmRunDialog(const Actualiz& state, bool backup, const QString& folder, QWidget* parent = nullptr);

  // What the plan says, as the dialog shows it.
  QString PlanText() const { return plan_text_; }
  // The warning about a data folder without any old database with a model;
  // empty when there is none.
  QString Warning() const { return warning_; }
  // "Copia de seguridad" as the operator left it in the dialog.
  bool Backup() const;
  QString BackupFolder() const;

 private:
  QString plan_text_;
  QString warning_;
  QCheckBox* backup_ = nullptr;
  QLineEdit* folder_ = nullptr;
};

}  // namespace gui
}  // namespace brenquil
