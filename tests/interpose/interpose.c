/* placeholder */ int brellix_interpose_placeholder;
