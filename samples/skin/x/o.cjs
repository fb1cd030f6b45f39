/* Quarrelby sample skin: a Qt style sheet for the main window.
   To use it, copy the folder x beside the quarrelby program, so that the
   program folder holds x/o.cjs. Without it the window stays white. */

QWidget#Form1 {
    background-color: #e8edf3;
}

/* Start-up paints the frames and check boxes in the button-face colour
   before it applies the skin; give them the window's colour instead. */
QGroupBox, QCheckBox {
    background-color: #e8edf3;
}

QGroupBox {
    border: 1px solid #a9b7c6;
    border-radius: 4px;
    margin-top: 7px;
    color: #1d4f7c;
}

QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 8px;
    padding: 0 3px;
}

QCheckBox {
    color: #1f2a36;
}

QCheckBox:disabled {
    color: #7d8a99;
}

QPushButton {
    color: #16324f;
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #ffffff, stop: 1 #dce5ef);
    border: 1px solid #8699ae;
    border-radius: 3px;
}

QPushButton:hover {
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #ffffff, stop: 1 #c9def3);
    border-color: #2b7fc4;
}

QPushButton:pressed {
    background-color: #b7d0e8;
}

QPushButton:focus {
    border-color: #2b7fc4;
}

QTreeView {
    border: 1px solid #8699ae;
    selection-background-color: #2b7fc4;
    selection-color: #ffffff;
}

QHeaderView::section {
    color: #16324f;
    background-color: #dce5ef;
    border: none;
    border-right: 1px solid #b4c2d1;
    border-bottom: 1px solid #b4c2d1;
    padding: 2px 4px;
}
