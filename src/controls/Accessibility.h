// SPDX-License-Identifier: MIT
#pragma once
// What assistive technology (a screen reader over AT-SPI) learns of the two controls: a picture
// button is a push button with a press action, the gauge a progress bar with its value. Qt
// would otherwise see two plain widgets without a role, a name or an action.

class QWidget;

// Puts the controls' descriptions in Qt's accessibility factory list, once per process.
void InstallControlsAccessibility();

// Tells assistive technology that the gauge's value changed.
void NotifyValueChanged(QWidget* gauge, int value);
