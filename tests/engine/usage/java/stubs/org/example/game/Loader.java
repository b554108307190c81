package org.example.game;

public final class Loader {
    public static void expect(String element) {
    }

    public static void layout(String constraints) {
    }
}
