#include "app/form1.h"

#include "plot/picturebox.h"

namespace kov {

Form1::Form1(SharedState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    createControls();
    connectHandlers();
}

Form1::~Form1() = default;

void Form1::createControls() { Picture1 = new PictureBox(this); }
void Form1::connectHandlers() {}
void Form1::Form_Load() {}
void Form1::applyButtonEvent(ButtonEvent) {}
void Form1::Command4_Click() {}
void Form1::Command8_Click() {}
void Form1::Text4_Change() {}
void Form1::Text5_Change() {}
void Form1::Text10_Change() {}
void Form1::Text13_Change() {}
void Form1::Text14_Change() {}
void Form1::Text12_Change(int) {}
void Form1::Text9_Change() {}

} // namespace kov
