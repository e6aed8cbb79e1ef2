/* Code that compilers for the Pentium Pro and later turn into what a Pentium lacks: a
 * conditional move, a floating-point compare into the flags, and with SSE maths the xmm
 * registers. Built for several CPUs to show what the Pentium check catches. */
int Larger(int a, int b)
{
    return a > b ? a : b;
}

int Below(double a, double b)
{
    return a < b;
}

float Sum(float a, float b)
{
    return a + b;
}
