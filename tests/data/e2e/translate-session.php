<?php
// Messages de la boutique
define('_WELCOME', 'Bienvenue dans notre boutique');
define("_CART","Votre panier");
define('_QUOTE', 'Dites "salut" et n\'oubliez pas');
define("_TOTAL","Total :\t%s");
define("_LOGIN","Log in");
define('_LOGOUT', 'Log	out');
define("_CART", "Repeated cart");
define('_HELP', "Besoin d'aide ? Écrivez-nous");
?>
