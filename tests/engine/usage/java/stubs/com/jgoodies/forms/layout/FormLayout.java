package com.jgoodies.forms.layout;

public final class FormLayout {
    public FormLayout(String encodedColumnSpecs, String encodedRowSpecs) {
    }
}
