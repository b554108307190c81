// Seed for fuzz_classfile: a record (ObjectMethods bootstrap), a sealed interface
// (PermittedSubclasses), nest members, constants of every kind and a string concatenation.
public sealed interface Shapes permits Shapes.Circle, Shapes.Square {
    record Circle(double radius, String label) implements Shapes {}
    record Square(long side) implements Shapes {}

    float RATIO = 1.5f;
    double PI_ISH = 3.14159;
    long BIG = 0x0100034142434445L;
    String NAME = "Shape\u0000with zero and \u4FDD\u5B58 and \uD83D\uDE00";

    static String describe(Shapes s) {
        if (s instanceof Circle c)
            return "Circle of " + c.radius() + " named " + c.label();
        return "Square " + ((Square) s).side();
    }
}
