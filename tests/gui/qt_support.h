// Helpers for the desktop tests: one QApplication on the offscreen platform,
// message boxes answered and recorded, widgets found by their control names.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

namespace brenquil::test {

// Ends the application when the tests end, before static destruction: Qt's
// own statics are gone by then, and a QApplication ended after them crashes.
class QtEnvironment : public ::testing::Environment {
 public:
  void TearDown() override { app.reset(); }
  std::unique_ptr<QApplication> app;
};

// The application every desktop test runs in; made on first use.
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "test_gui";
  static char* argv[] = {name, nullptr};
  static QtEnvironment* environment = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // GoogleTest takes ownership of the environment it is given.
    auto* made = new QtEnvironment;
    ::testing::AddGlobalTestEnvironment(made);
    made->app = std::make_unique<QApplication>(argc, argv);
    return made;
  }();
  return *environment->app;
}

struct SeenBox {
  QString title;
  QString text;
};

// Runs `action`, answering with OK every message box it opens (they are
// modal, so the action would wait for the operator), and returns them.
inline std::vector<SeenBox> AnswerBoxes(const std::function<void()>& action) {
  std::vector<SeenBox> seen;
  QTimer answer;
  answer.setInterval(5);
  QObject::connect(&answer, &QTimer::timeout, [&seen] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (!box || !box->isVisible()) continue;
      seen.push_back({box->windowTitle(), box->text()});
      box->done(QMessageBox::Ok);
    }
  });
  answer.start();
  action();
  return seen;
}

// Runs `action`, answering the question "Transformar" asks before a run
// (the dialog "ConfirmarTransformar") with its button "Transformar" when
// `accept`, "Cancelar" otherwise, and every message box with OK. Returns how
// many questions were asked; `plan_text`, when given, gets the last one's
// text and warning.
inline int AnswerConfirmation(const std::function<void()>& action, bool accept = true,
                              QString* plan_text = nullptr) {
  int asked = 0;
  QTimer answer;
  answer.setInterval(5);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (!widget->isVisible()) continue;
      if (auto* box = qobject_cast<QMessageBox*>(widget)) {
        box->done(QMessageBox::Ok);
        continue;
      }
      if (widget->objectName() != QLatin1String("ConfirmarTransformar")) continue;
      ++asked;
      if (plan_text) {
        *plan_text = QString();
        for (const char* name : {"Plan", "Aviso"})
          if (auto* label = widget->findChild<QLabel*>(QLatin1String(name)))
            *plan_text += label->text() + QLatin1Char('\n');
      }
      auto* button = widget->findChild<QPushButton*>(accept ? QStringLiteral("Transformar")
                                                             : QStringLiteral("Cancelar"));
      if (button) button->click();
    }
  });
  answer.start();
  action();
  return asked;
}

// A left click on the middle of `widget`, posted as the operator's mouse
// would: it reaches the widget when the event loop next runs.
inline void PostClick(QWidget* widget) {
  QPoint centre = widget->rect().center();
  QApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonPress, centre, widget->mapToGlobal(centre),
                                                  Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
  QApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonRelease, centre, widget->mapToGlobal(centre),
                                                  Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

// The child of `root` with that object name (the control's name), or a test failure.
template <class T>
T* Child(QWidget& root, const QString& name) {
  T* found = root.findChild<T*>(name);
  EXPECT_NE(found, nullptr) << "no widget " << name.toStdString();
  return found;
}

}  // namespace brenquil::test
