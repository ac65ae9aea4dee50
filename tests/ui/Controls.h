#pragma once
// Window tests (and the window benchmark) reach a control the way the window names it: by its object
// name, never through the window's members.

#include <QObject>
#include <QString>

#include <stdexcept>
#include <string>

namespace uitest {

// The control named `name` of type T under `window`; throws (failing the test) when there is none.
template <class T>
T* Control(const QObject& window, const char* name) {
    T* control = window.findChild<T*>(QLatin1String(name));
    if (control == nullptr)
        throw std::runtime_error("no control \"" + std::string(name) + "\" of the expected type in " +
                                 window.objectName().toStdString());
    return control;
}

}  // namespace uitest
