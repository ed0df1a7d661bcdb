// The baseline of a process start: a C++ program that prints one line.
#include <iostream>

int main()
{
    std::cout << "trivial\n";
    return 0;
}
