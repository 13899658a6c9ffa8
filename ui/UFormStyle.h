// Styles of the tab rows (UFormStyle.cpp).
#pragma once

class QStyle;

QStyle *CompactTabStyle(); // ordinary tabs, narrow padding
QStyle *ButtonTabStyle();  // tabs drawn as a row of push buttons
QStyle *GroupBoxStyle();  // caption on the frame's top line
