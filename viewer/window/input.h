// The GLUT viewer's input state machine: the callbacks GLUT calls for the
// window's exposure, the keyboard and the mouse, and the queue of keys and
// mouse actions they feed, run in order between frames through the one key
// table (viewer/keys.h).
#pragma once

namespace basin {

// GLUT's callbacks (see main.cpp for their registration).
void display();
void reshape(int width, int height);
void keyboard(unsigned char key, int x, int y);
void keyboardUp(unsigned char key, int x, int y);
void special(int key, int x, int y);
void mouse(int button, int state, int x, int y);
void motion(int x, int y);
void passiveMotion(int x, int y);
void entry(int state);
// The window closed by the window manager: ends the process as Escape does.
void closed();

}  // namespace basin
