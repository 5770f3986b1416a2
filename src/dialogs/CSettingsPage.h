#pragma once

#include <QString>
#include <QWidget>
#include <initializer_list>

#include "engine/AppSettings.h"
#include "platform/UserPrompt.h"

class QAbstractButton;
class QLineEdit;

namespace tarnwick {

// What every page of the settings sheet shares: it fills its controls from
// the settings the first time it is shown, marks itself changed when the user
// edits (which enables the sheet's Apply), and validates and writes back in
// its apply step.
class CSettingsPage : public QWidget {
  Q_OBJECT

 public:
  CSettingsPage(QString title, AppSettings& settings, UserPrompt& prompt,
                QWidget* parent = nullptr);

  const QString& title() const { return title_; }
  bool filled() const { return filled_; }

  // Validates the controls and writes them into the settings. On a refusal
  // the page has shown its one box and nothing was written.
  virtual bool Apply() = 0;

 signals:
  void modified();

 protected:
  // Puts the settings into the controls; runs once, on the first show.
  virtual void Fill() = 0;
  // Runs on every show, after Fill.
  virtual void Activate() {}

  // Ignored while Fill runs: only the user's edits count.
  void MarkChanged();
  void MarkChangedOnEdit(QLineEdit* edit);
  void MarkChangedOnToggle(QAbstractButton* box);

  // Shows the refusal box ("注意", exclamation) and returns false.
  bool Refuse(const QString& text);
  // An edit and the label that names it in a message.
  struct LabelledEdit {
    const QLineEdit* edit;
    QString label;
  };
  // Refuses the first edit holding text that CP932 cannot hold, which would
  // be stored as "?"; an apply step checks this before anything else.
  bool AllFitCp932(std::initializer_list<LabelledEdit> edits);
  void Warn(const QString& text);
  void Inform(const QString& text);
  void Fail(const QString& text);

  AppSettings& settings() const { return settings_; }
  UserPrompt& prompt() const { return prompt_; }

  void showEvent(QShowEvent* event) override;

 private:
  QString title_;
  AppSettings& settings_;
  UserPrompt& prompt_;
  bool filled_ = false;
  bool filling_ = false;
};

}  // namespace tarnwick
