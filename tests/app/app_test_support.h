#pragma once

#include "sqlite_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>

namespace kestrel::test {

// Answers every message box that opens with OK (a question with `answer`) and records what it
// said, so that code showing modal boxes can run inside a test.
class MessageBoxCatcher {
public:
    struct Box {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QStringList buttons; // the texts of its buttons
    };

    MessageBoxCatcher() {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }

    QList<Box> boxes;
    QMessageBox::StandardButton answer = QMessageBox::No;

private:
    void poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        QStringList buttons;
        for (const QAbstractButton* button : box->buttons())
            buttons.append(button->text());
        boxes.append({box->windowTitle(), box->text(), box->icon(), buttons});
        if (QAbstractButton* button = box->button(answer))
            button->click();
        else
            box->accept();
    }

    QTimer m_timer;
};

// Runs action once on the first modal widget of type T that opens.
template <typename T> class WhenModal {
public:
    explicit WhenModal(std::function<void(T*)> action) : m_action(std::move(action)) {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* widget = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!widget || !widget->isVisible())
                return;
            m_timer.stop();
            ++count;
            m_action(widget);
        });
        m_timer.start();
    }

    int count = 0;

private:
    std::function<void(T*)> m_action;
    QTimer m_timer;
};

} // namespace kestrel::test
