#pragma once

class CMainFrame;
class KorvoView;
class QWidget;

// Creates the screen of a ScreenId in the frame.
KorvoView* CreateScreen(int screenId, CMainFrame& frame, QWidget* parent);
